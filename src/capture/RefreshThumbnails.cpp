#include "capture/RefreshThumbnails.h"

#include "capture/BrowserLocator.h"
#include "capture/BrowserSandbox.h"
#include "capture/CaptureServices.h"
#include "capture/CardThumbnailer.h"
#include "capture/ChromiumThumbnailer.h"
#include "capture/PipeThumbnailer.h"
#include "platform/ProgramContext.h"

namespace vistrel::capture {

RefreshThumbnails::RefreshThumbnails(platform::ProgramContext &context)
{
    const QString browser = findBrowser();
    platform::DisplayWriter &display = context.display;
    const bool sandboxed = browser.isEmpty() || browserSandboxed();
    if (browser.isEmpty()) {
        m_source = std::make_unique<CardThumbnailer>();
    } else if (qEnvironmentVariable(kModeVariable) == QLatin1String("oneshot")) {
        m_source = std::make_unique<ChromiumThumbnailer>(browser, context.tempFolder, sandboxed);
        static bool said = false;
        if (!sandboxed && !said)
            display.write(unsandboxedNotice());
        said = true;
    } else {
        m_source = std::make_unique<PipeThumbnailer>(browser, context.tempFolder, sandboxed,
                                                     [&display](const QString &line) { display.write(line); });
    }
    CaptureServices &services = defaultCaptureServices();
    m_replaced = services.thumbnails;
    services.thumbnails = m_source.get();
}

RefreshThumbnails::~RefreshThumbnails()
{
    CaptureServices &services = defaultCaptureServices();
    if (services.thumbnails == m_source.get())
        services.thumbnails = m_replaced;
}

} // namespace vistrel::capture
