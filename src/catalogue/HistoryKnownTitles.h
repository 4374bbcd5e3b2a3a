#pragma once

#include <QSet>
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace vistrel::catalogue {

// The names that need no suggestion during one history pass: the favourites'
// names and the titles already suggested, compared without regard to case.
//
// A title also counts as known when a favourite bears the name the favourites
// editor gives a site added from the history page (the title with its
// references decoded, separators and control characters replaced, cut to
// platform::kMaxFavouriteNameBytes), so that adding a suggestion ends it.
class HistoryKnownTitles
{
public:
    // Longest favourite name, in bytes, that the editor writes for a title.

    // A favourite's file name without its extension.
    void addName(std::string_view name);
    // A title the pass has suggested.
    void addTitle(std::string_view title);
    bool contains(std::string_view title) const;
    bool isEmpty() const { return m_keys.isEmpty(); }

    // The file name (without extension) the editor makes of a title; empty
    // when nothing usable is left.
    static std::string favouriteName(std::string_view title);

private:
    static QString key(std::string_view text);

    QSet<QString> m_keys;
};

} // namespace vistrel::catalogue
