#include "catalogue/WorkingSet.h"

#include <malloc.h>

namespace vistrel::catalogue {

bool trimWorkingSet()
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last; // main thread only
    const Clock::time_point now = Clock::now();
    if (last != Clock::time_point() && now - last < kTrimInterval)
        return false;
    ::malloc_trim(0);
    last = Clock::now();
    return true;
}

} // namespace vistrel::catalogue
