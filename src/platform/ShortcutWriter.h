#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vistrel::platform {

struct MainFlags;

// The longest file name (without ".URL") the program gives a favourite it adds.
inline constexpr std::size_t kMaxFavouriteNameBytes = 200;

// A page title made into a favourite's file name: "/" and "\" become "_",
// control characters blanks, blanks trimmed, cut at kMaxFavouriteNameBytes
// (never inside a UTF-8 sequence); empty when nothing usable is left.
std::string favouriteFileName(std::string_view title);

// The name of a favourite the program adds for url under a page or bookmark
// title: the title made safe, else the site's host, else the whole address,
// else "Favourite".
std::string favouriteNameFor(std::string_view title, std::string_view url);

// The two-line Internet shortcut the program writes itself: "[InternetShortcut]"
// and "URL=" + url, each ended by CR LF. CR, LF and NUL are taken out of the URL
// so that it cannot add lines of its own.
std::string shortcutFileText(std::string_view url);

// Marks the write as the program's own (so the folder monitor does not start a
// refresh for it), replaces the file atomically, then lets pending events run.
// False when the file could not be written.
bool writeShortcut(MainFlags &flags, const QString &path, std::string_view url);

} // namespace vistrel::platform
