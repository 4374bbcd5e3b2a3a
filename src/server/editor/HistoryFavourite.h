#pragma once

#include "platform/ShortcutWriter.h"

#include "server/editor/ActionReport.h"

#include <functional>
#include <string>
#include <string_view>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::server {

// The title of the page at an address, empty when there is none.
using TitleFetch = std::function<std::string(const std::string &url)>;

// Adds a site suggested by the history page to the Favorites folder, named
// after its page's title.
class HistoryFavourite
{
public:
    // Longest name given to an added favourite, in bytes, before " (n)" and
    // the extension.
    static constexpr std::size_t kMaxNameBytes = platform::kMaxFavouriteNameBytes;
    // Names tried with " (2)", " (3)", ... before giving up.
    static constexpr int kMaxNumberedNames = 1000;

    HistoryFavourite(platform::ProgramContext &context, TitleFetch fetchTitle, ActionReport &report);

    // postedName: the button's name as posted (URL-encoded).
    void add(std::string_view postedName);

    // The file name (without extension) a page title gives: separators as "_",
    // control characters as blanks, trimmed and cut at kMaxNameBytes; the
    // site's host when that leaves nothing usable.
    static std::string favouriteName(std::string_view title, std::string_view url);

private:
    platform::ProgramContext &m_context;
    TitleFetch m_fetchTitle;
    ActionReport &m_report;
};

} // namespace vistrel::server
