#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::catalogue {

// The listing buffer: the document being built as a list of lines, saved with
// CR LF after every line. Both "listings.xml" and "history.xml" are written
// through it, so their shared lines come from one place.
class ListingDocument
{
public:
    void clear();
    void addLine(std::string_view line);
    void addLine(std::string &&line);
    const std::vector<std::string> &lines() const { return m_lines; }

    // Header lines 1 to 5 of the listing document, and its two closing lines.
    void beginListing(std::int64_t timeStamp, bool homePageOnHeader);
    void endListing();
    // Header lines 1 to 4 of the history document, and its two closing lines.
    void beginHistory(std::int64_t timeStamp);
    void endHistory();

    // The document as saved; also what the page transformations are given.
    std::string text() const;
    // Replaces the file in one step, so a failed save leaves the previous one whole.
    bool save(const QString &path) const;

private:
    std::vector<std::string> m_lines;
};

} // namespace vistrel::catalogue
