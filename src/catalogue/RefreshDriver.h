#pragma once

#include "catalogue/CaptureCall.h"
#include "catalogue/RefreshState.h"

#include <functional>
#include <string>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::catalogue {

// The refresh command: raises the image generation number, runs the favourites
// pass (count, walk, "listings.xml", pages) and, when asked for, the history pass,
// then deletes the previous generation's page images. Runs on the main thread,
// processing events at every step, so commands and requests are served meanwhile.
class RefreshDriver
{
public:
    // Turns the listing text into the pages; may throw.
    using PageGeneration = std::function<void(const std::string &listingText)>;
    // Builds "history.xml" and "history.htm"; may throw.
    using HistoryPass = std::function<void()>;

    static constexpr const char *kUrlMask = "*.url";
    static constexpr const char *kImageExtension = ".BMP";
    static constexpr const char *kListingFileName = "listings.xml";

    explicit RefreshDriver(platform::ProgramContext &context);

    void setCaptureFunction(CaptureFunction capture) { m_capture.setFunction(std::move(capture)); }
    void setPageGeneration(PageGeneration generate) { m_generatePages = std::move(generate); }
    void setHistoryPass(HistoryPass pass) { m_historyPass = std::move(pass); }
    // Clears the lists that the history pass and the page generation keep, at the
    // end of every refresh.
    void setOtherListsClearer(std::function<void()> clear) { m_clearOtherLists = std::move(clear); }

    // The refresh command. Never throws; a request while a refresh runs is ignored.
    void Button2Click();

    // The favourites pass; throws what the page generation throws, and when
    // "listings.xml" cannot be saved.
    void favouritesPass();

    // The capture call, for the history pass as for the walk. Path and name as
    // the file system has them (bytes), or as text.
    void captureCall(std::string_view path, std::string_view name, bool isHistory) { m_capture(path, name, isHistory); }
    void captureCall(const QString &path, const QString &name, bool isHistory);
    RefreshState &state() { return m_state; }

    // The name pattern of one generation's page images ("%4d", hex-encoded, "*.BMP").
    static std::string generationPattern(int generation);

private:
    void runFavouritesPass();
    void deleteGeneration(const QString &imagesFolder, int generation);

    platform::ProgramContext &m_context;
    RefreshState m_state;
    CaptureCall m_capture;
    PageGeneration m_generatePages;
    HistoryPass m_historyPass;
    std::function<void()> m_clearOtherLists;
    bool m_listingSaved = false;
};

} // namespace vistrel::catalogue
