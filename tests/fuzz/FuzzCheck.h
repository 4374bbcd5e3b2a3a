#pragma once

#include <cstdio>
#include <cstdlib>

// Names the failed check's line, so a finding says which property broke.
inline void check(bool condition, int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}
