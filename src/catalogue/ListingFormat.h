#pragma once

#include <QDateTime>

#include <cstdint>
#include <string>
#include <string_view>

// The fixed texts of the listing and history documents ("listings.xml",
// "history.xml"). The pages and the favourites editor read these documents, so
// every blank and every line break here is part of the format.
namespace vistrel::catalogue::listing {

// Separates the attributes inside a Link start tag: line feed, then carriage return.
inline constexpr std::string_view kPieceEnd = "\n\r";

inline constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
inline constexpr std::string_view kRootStart = "<BROWSERINFO ";
inline constexpr std::string_view kHomePageYes = "HomePage=\"YES\">";
inline constexpr std::string_view kHomePageNo = "HomePage=\"No\">";
inline constexpr std::string_view kFavouritesStart = "<Favoritesfolder>";
inline constexpr std::string_view kFavouritesEnd = "</Favoritesfolder>";
inline constexpr std::string_view kHistoryStart = "<History>";
inline constexpr std::string_view kHistoryEnd = "</History>";
inline constexpr std::string_view kRootEnd = "</BROWSERINFO>";
inline constexpr std::string_view kFolderEnd = "</Folder>";
inline constexpr std::string_view kLinkStart = "<Link ";
inline constexpr std::string_view kBrowser = "BROWSER=\"IE\"";
inline constexpr std::string_view kLinkEnd = "></Link>";

// Marks "no Folder element open" in the walk's state.
inline constexpr std::string_view kNoOpenFolder = "@@@@@@";

// Local date-time as days since 30 December 1899 00:00, the time of day as fraction.
double daysSince1899(const QDateTime &local);
// The Time attribute: the integer part of daysSince1899 x 10000 (unit 8.64 s).
std::int64_t timeStamp(const QDateTime &local);

// "Time=\"" stamp "\"" — with ">" after it in the history document, whose root
// start tag it closes.
std::string timeLine(std::int64_t stamp, bool closesStartTag = false);

// A walked folder's path below the Favorites root, backslash-separated and
// without a trailing separator: "" for the root itself.
std::string relativeFolder(std::string_view root, std::string_view folder);

// A folder's relative path (backslash-separated) as the Location attribute shows
// it: "&" becomes "and" and a backslash before b, r, n or t gets that letter in
// upper case. Made well-formed for XML as every attribute value is.
std::string locationText(std::string_view relativePath);
// "<Folder Location = \"" + locationText + "\">"
std::string folderStartLine(std::string_view relativePath);

// The program's own attributes of a Link, without the piece ends.
std::string uniqueAttribute(std::string_view fullPath);         // UNIQUE="hex" + blank
std::string sortOrderAttribute(int order);                      // SORT_ORDER="n"
std::string descriptionAttribute(std::string_view description); // DESCRIPTION="escaped" + blank

// Appends text and the piece end.
void appendPiece(std::string &link, std::string_view text);

} // namespace vistrel::catalogue::listing
