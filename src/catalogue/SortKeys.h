#pragma once

#include "catalogue/FolderWalk.h"

#include <cstdint>
#include <string>

class QRandomGenerator;

namespace vistrel::catalogue {

class MenuOrderTable;

// The five orders of the "Sort Favorites " box, by item index.
enum class SortMode { Alphabetical = 0, MenuOrder = 1, DateAscending = 2, DateDescending = 3, Random = 4 };

// Any index outside the five (nothing selected, say) sorts alphabetically.
SortMode sortModeFromIndex(int index);

// The last-write time in local time, cut to two seconds, as days since
// 30 December 1899 x 100000, truncated. Needs 64 bits.
std::int64_t dateKey(std::int64_t lastWrite);

// Keys compare as text, so every mode but the first writes fixed-width numbers:
// "%.4d" for the menu order and the random number, "%.15d" for the date key.
class SortKeyMaker
{
public:
    static constexpr int kRandomKeyRange = 10000;

    // Random keys come from the given generator, or the program's global one.
    explicit SortKeyMaker(QRandomGenerator *random = nullptr);

    std::string key(const DirectoryEntry &entry, SortMode mode, const MenuOrderTable &table) const;

private:
    QRandomGenerator *m_random;
};

} // namespace vistrel::catalogue
