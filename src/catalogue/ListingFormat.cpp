#include "catalogue/ListingFormat.h"

#include "platform/TextEncodings.h"

namespace vistrel::catalogue::listing {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
constexpr std::int64_t kStampUnitsPerDay = 10'000;

const QDate &epoch()
{
    static const QDate date(1899, 12, 30);
    return date;
}

} // namespace

double daysSince1899(const QDateTime &local)
{
    const std::int64_t days = epoch().daysTo(local.date());
    return static_cast<double>(days) + local.time().msecsSinceStartOfDay() / double(kMillisecondsPerDay);
}

std::int64_t timeStamp(const QDateTime &local)
{
    // In whole milliseconds, so the stamp is exact and truncated toward zero.
    const std::int64_t ms = epoch().daysTo(local.date()) * kMillisecondsPerDay + local.time().msecsSinceStartOfDay();
    return ms * kStampUnitsPerDay / kMillisecondsPerDay;
}

std::string timeLine(std::int64_t stamp, bool closesStartTag)
{
    return "Time=\"" + std::to_string(stamp) + (closesStartTag ? "\">" : "\"");
}

std::string relativeFolder(std::string_view root, std::string_view folder)
{
    std::string relative(folder.substr(0, root.size()) == root ? folder.substr(root.size()) : folder);
    while (!relative.empty() && relative.back() == '/')
        relative.pop_back();
    for (char &c : relative)
        if (c == '/')
            c = '\\';
    return relative;
}

std::string locationText(std::string_view relativePath)
{
    std::string text;
    text.reserve(relativePath.size());
    for (char c : relativePath) {
        if (c == '&')
            text += "and";
        else
            text += c;
    }
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        const char next = text[i + 1];
        if (text[i] == '\\' && (next == 'b' || next == 'r' || next == 'n' || next == 't'))
            text[i + 1] = static_cast<char>(next - 'a' + 'A');
    }
    // Nothing else of the name changes; only what would break the document is written as a reference.
    std::string out;
    out.reserve(text.size());
    platform::forEachCodePoint(text, [&](char32_t c) {
        if (!platform::isXmlChar(c))
            c = U' ';
        switch (c) {
        case U'"': out += "&#34;"; break;
        case U'<': out += "&#60;"; break;
        case U'\t': out += "&#9;"; break;
        case U'\n': out += "&#10;"; break;
        case U'\r': out += "&#13;"; break;
        default: platform::appendUtf8(out, c);
        }
    });
    return out;
}

std::string folderStartLine(std::string_view relativePath)
{
    return "<Folder Location = \"" + locationText(relativePath) + "\">";
}

std::string uniqueAttribute(std::string_view fullPath)
{
    return "UNIQUE=\"" + platform::hexEncode(fullPath) + "\" ";
}

std::string sortOrderAttribute(int order)
{
    return "SORT_ORDER=\"" + std::to_string(order) + "\"";
}

std::string descriptionAttribute(std::string_view description)
{
    return "DESCRIPTION=\"" + platform::escapeReferences(description) + "\" ";
}

void appendPiece(std::string &link, std::string_view text)
{
    link += text;
    link += kPieceEnd;
}

} // namespace vistrel::catalogue::listing
