#pragma once

#include <string>
#include <string_view>

namespace vistrel::capture {

// The capture's attributes of a Link element, each followed by line feed and
// carriage return, exactly as the pages and the editor read them back.
inline constexpr std::string_view kPieceEnd = "\n\r";

void appendPiece(std::string &link, std::string_view text);

std::string precodePiece(int code);                                       // PRECODE = "n"_
std::string shortcutPropertyPiece(std::string_view name, std::string_view value); // NAME="value"
std::string sitePropertyPiece(std::string_view name, std::string_view value);     // NAME="value", escaped twice
std::string visitsPiece(unsigned long long visits);                       // VISITS="n"
std::string codePiece(int code);                                          // CODE = "n"_
std::string givenTitlePiece(std::string_view title);                      // GIVEN_TITLE = "title"_
std::string imagePiece(std::string_view relativeName);                    // IMAGE ="images\..."_

} // namespace vistrel::capture
