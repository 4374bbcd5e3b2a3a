#include "capture/LinkPieces.h"

#include "platform/TextEncodings.h"

namespace vistrel::capture {

using platform::escapeAttribute;
using platform::escapePercent;
using platform::escapeReferences;

void appendPiece(std::string &link, std::string_view text)
{
    link += text;
    link += kPieceEnd;
}

std::string precodePiece(int code)
{
    return "PRECODE = \"" + std::to_string(code) + "\" ";
}

// The references escaping goes over the value only: the name holds nothing it
// would change, and the piece's own quotes must stay quotes.
std::string shortcutPropertyPiece(std::string_view name, std::string_view value)
{
    return std::string(name) + "=\"" + escapeReferences(value) + "\"";
}

std::string sitePropertyPiece(std::string_view name, std::string_view value)
{
    return std::string(name) + "=\"" + escapeReferences(escapeAttribute(value)) + "\"";
}

std::string visitsPiece(unsigned long long visits)
{
    return "VISITS=\"" + std::to_string(visits) + "\"";
}

std::string codePiece(int code)
{
    return "CODE = \"" + std::to_string(code) + "\" ";
}

std::string givenTitlePiece(std::string_view title)
{
    return "GIVEN_TITLE = \"" + escapePercent(title) + "\" ";
}

std::string imagePiece(std::string_view relativeName)
{
    return "IMAGE =\"" + std::string(relativeName) + "\" ";
}

} // namespace vistrel::capture
