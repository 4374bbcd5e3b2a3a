#pragma once

#include <QtGlobal>

#include <string>
#include <string_view>

// What the history pass makes of one URL cache entry: the site it names,
// whether that site's page may be asked for its title, and the title as shown.
namespace vistrel::catalogue::history {

// The site address of a source name ("Visited: " + user + "@" + URL): the part
// after the user's "@" when the name begins with that prefix, else the part
// after its first "@"; the whole name when it has none.
std::string_view siteAddress(std::string_view sourceName, std::string_view userName);

// The program's own web server: any address beginning "http://localhost" (in
// any letter case), and a loopback or unspecified address (127.0.0.0/8, [::1],
// 0.0.0.0, [::]) on the server's port.
bool isOwnServer(std::string_view url, quint16 ownServerPort);

// Only "http://" addresses (as written, lower case), and "https://" ones when
// secure sites are captured, that are not the program's own server are asked
// for their title.
bool mayFetchTitle(std::string_view siteAddress, quint16 ownServerPort, bool secureSites = false);

// The title without leading and trailing blanks and control characters.
std::string trimmedTitle(std::string_view title);

} // namespace vistrel::catalogue::history
