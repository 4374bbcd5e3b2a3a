#pragma once

#include <cstddef>

namespace vistrel::catalogue {

// What one import source gave.
struct ImportCounts
{
    std::size_t added = 0;     // new favourites written
    std::size_t present = 0;   // bookmarks whose address already was a favourite
    std::size_t skipped = 0;   // separators, queries, addresses no favourite may open
    std::size_t flattened = 0; // folders nested too deep, kept in their deepest watched parent
};

} // namespace vistrel::catalogue
