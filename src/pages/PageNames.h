#pragma once

#include <QByteArray>

namespace vistrel::pages {

// Per-folder page names. A folder is named by its Location, the backslash-
// separated path below the Favorites folder, empty for the Favorites folder
// itself. Links\Tools has LinksTools.htm and editLinksTools.htm; the root
// has view.htm and edit.htm.
QByteArray viewPageName(const QByteArray &location);
QByteArray editPageName(const QByteArray &location);

// The pages the program writes under fixed names (viewer.htm, view.htm,
// reloader.htm, ...), which no folder's page may replace.
bool isFixedPageName(const QByteArray &name);

// A plain file name that stays directly in the data folder.
bool isSafePageName(const QByteArray &name);

} // namespace vistrel::pages
