// How the window's parts meet: the refresh command and what it calls.
#include "app/TMain.h"

#include "capture/CaptureCall.h"
#include "capture/RefreshThumbnails.h"
#include "catalogue/HistoryPass.h"
#include "catalogue/HistoryUrlCache.h"
#include "catalogue/RefreshDriver.h"
#include "pages/PageDiagnostics.h"
#include "pages/PageSet.h"

#include <QCheckBox>
#include <QCoreApplication>

#include <memory>
#include <stdexcept>

namespace vistrel::app {

namespace {

// Page problems go to both diagnostic channels: the server display, where a
// person looks, and the refresh trace.
class PageDiagnosticsToChannels : public pages::PageDiagnostics
{
public:
    explicit PageDiagnosticsToChannels(platform::ProgramContext &context) : m_context(context) {}
    void pageMessage(const QString &text) override
    {
        m_context.display.write(text);
        m_context.trace.add(text);
    }
    void processPendingEvents() override { QCoreApplication::processEvents(); }

private:
    platform::ProgramContext &m_context;
};

// The browsers' history as the captures (visit counts, site properties) and
// the history pass see it, one snapshot per refresh. The capture finds it
// among its default services for as long as this lives.
struct HistoryWiring
{
    catalogue::HistoryUrlCache cache;
    catalogue::HistoryPass pass;

    HistoryWiring(platform::ProgramContext &context, catalogue::RefreshDriver &driver, pages::PageSet &pages)
        : cache(context), pass(context, driver, cache, pages)
    {
        capture::defaultCaptureServices().urlCache = &cache;
    }
    ~HistoryWiring()
    {
        if (capture::defaultCaptureServices().urlCache == &cache)
            capture::defaultCaptureServices().urlCache = nullptr;
    }
    HistoryWiring(const HistoryWiring &) = delete;
    HistoryWiring &operator=(const HistoryWiring &) = delete;
};

} // namespace

void TMain::wireSubsystems()
{
    m_pageDiagnostics = std::make_unique<PageDiagnosticsToChannels>(m_context);
    m_pages = std::make_unique<pages::PageSet>(m_paths.dataFolder, serverPort().toUtf8(), newPage(),
                                               m_pageDiagnostics.get());

    m_refresh = std::make_unique<catalogue::RefreshDriver>(m_context);
    auto history = std::make_shared<HistoryWiring>(m_context, *m_refresh, *m_pages);
    m_refresh->setCaptureFunction(
        [this, history](const QString &path, const QString &name, bool isHistory, std::string &currentLinkText) {
            // Read before the watchdog's clock starts: a huge history takes seconds.
            history->cache.snapshot();
            return capture::runCapture(m_context, path, name, isHistory, currentLinkText);
        });
    m_refresh->setPageGeneration([this](const std::string &listingText) {
        m_pages->setPort(serverPort().toUtf8());
        m_pages->setNewPage(newPage());
        const pages::PageReport report = m_pages->runGenerationPass(QByteArray::fromStdString(listingText));
        if (!report.ok())
            throw std::runtime_error("some pages could not be written");
    });
    // The driver runs the pass only while cb_History is ticked; the pass reads RxSpinEdit2.
    m_refresh->setHistoryPass([history] { history->pass.run(); });
    m_refresh->setOtherListsClearer([history] { history->cache.release(); });
    setRefreshCommand([this] {
        // One page browser for the whole refresh, gone when the refresh returns.
        capture::RefreshThumbnails thumbnails(m_context);
        m_refresh->Button2Click();
    });
    setUpWebServer();
}

void TMain::writeStartupPages()
{
    m_pages->setPort(serverPort().toUtf8());
    m_pages->setNewPage(newPage());
    m_pages->runStartupSequence();
}

} // namespace vistrel::app
