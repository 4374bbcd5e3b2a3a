#pragma once

#include "catalogue/SortKeys.h"

#include <string>
#include <string_view>
#include <vector>

namespace vistrel::catalogue {

class ListingDocument;

// Compares sort keys as the pages' users expect favourites to be ordered: by the
// user's locale, without regard to case, in word-sort form, where hyphens and
// apostrophes count only between keys that are otherwise equal. That puts a
// favourite missing from the menu order (key "-0001") next to those with order 1.
class SortKeyOrder
{
public:
    SortKeyOrder();
    ~SortKeyOrder();
    SortKeyOrder(const SortKeyOrder &) = delete;
    SortKeyOrder &operator=(const SortKeyOrder &) = delete;

    // Negative, zero or positive, as a comes before, with or after b.
    int compare(std::string_view a, std::string_view b) const;

    // The items' positions in sorted order (descending inverts it).
    std::vector<std::size_t> order(const std::vector<std::string_view> &keys, bool descending) const;

private:
    struct Private;
    Private *d;
};

// The Link elements of the open folder, parked with their sort keys until the
// folder is closed.
class FolderLinkBuffer
{
public:
    void add(std::string key, std::string linkText);
    bool empty() const { return m_items.empty(); }
    std::size_t size() const { return m_items.size(); }
    void clear();

    // Adds the link texts to the listing, one line each, in the mode's order, and
    // leaves the buffer empty.
    void flushInto(ListingDocument &listing, SortMode mode);

private:
    struct Item
    {
        std::string key;
        std::string linkText;
    };
    std::vector<Item> m_items;
};

} // namespace vistrel::catalogue
