#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <string>
#include <vector>

namespace vistrel::platform {
struct ProgramContext;
struct UrlCacheEntry;
}
namespace vistrel::pages {
class PageSet;
}

namespace vistrel::catalogue {

class HistoryKnownTitles;
class HistoryUrlCache;
class RefreshDriver;

// The history pass that ends a refresh when history analysis is on: the sites
// of the browsers' history visited more often than the threshold that are not
// favourites yet, each captured like a favourite (into "images/history/"),
// written to "history.xml" and turned into "history.htm".
//
// Each suggestion is captured through a shortcut made for it in the private
// temporary folder, removed again however the capture ends.
class HistoryPass
{
public:
    static constexpr const char *kHistoryFileName = "history.xml";
    // Pending events are served at least this often while the list is walked,
    // so a cancel and the web server are heard during a huge history.
    static constexpr std::chrono::milliseconds kEventInterval{50};

    HistoryPass(platform::ProgramContext &context, RefreshDriver &driver, HistoryUrlCache &cache,
                pages::PageSet &pages);

    // Throws when "history.xml" cannot be saved or "history.htm" cannot be made.
    void run();
    void operator()() { run(); }

private:
    void runSteps();
    // One address of the list whose visits passed the threshold.
    void consider(const platform::UrlCacheEntry &entry, HistoryKnownTitles &known);
    // The Link lines of one suggestion; empty when it could not be captured.
    std::vector<std::string> suggest(const std::string &site, const std::string &title);
    void report(const QString &line);

    platform::ProgramContext &m_context;
    RefreshDriver &m_driver;
    HistoryUrlCache &m_cache;
    pages::PageSet &m_pages;
    quint16 m_ownPort = 0;
};

} // namespace vistrel::catalogue
