#include "catalogue/ListingDocument.h"

#include "catalogue/ListingFormat.h"
#include "platform/AtomicFile.h"

#include <QByteArray>

namespace vistrel::catalogue {

void ListingDocument::clear()
{
    m_lines.clear();
    m_lines.shrink_to_fit();
}

void ListingDocument::addLine(std::string_view line)
{
    m_lines.emplace_back(line);
}

void ListingDocument::addLine(std::string &&line)
{
    m_lines.push_back(std::move(line));
}

void ListingDocument::beginListing(std::int64_t timeStamp, bool homePageOnHeader)
{
    clear();
    addLine(listing::kDeclaration);
    addLine(listing::kRootStart);
    addLine(listing::timeLine(timeStamp));
    addLine(homePageOnHeader ? listing::kHomePageYes : listing::kHomePageNo);
    addLine(listing::kFavouritesStart);
}

void ListingDocument::endListing()
{
    addLine(listing::kFavouritesEnd);
    addLine(listing::kRootEnd);
}

void ListingDocument::beginHistory(std::int64_t timeStamp)
{
    clear();
    addLine(listing::kDeclaration);
    addLine(listing::kRootStart);
    addLine(listing::timeLine(timeStamp, true));
    addLine(listing::kHistoryStart);
}

void ListingDocument::endHistory()
{
    addLine(listing::kHistoryEnd);
    addLine(listing::kRootEnd);
}

std::string ListingDocument::text() const
{
    std::size_t size = 0;
    for (const std::string &line : m_lines)
        size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string &line : m_lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

bool ListingDocument::save(const QString &path) const
{
    const std::string bytes = text();
    return platform::writeFileAtomically(path, QByteArray(bytes.data(), qsizetype(bytes.size())));
}

} // namespace vistrel::catalogue
