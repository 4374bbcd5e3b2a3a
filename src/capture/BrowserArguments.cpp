#include "capture/BrowserArguments.h"

namespace vistrel::capture {

QStringList commonBrowserArguments(bool sandboxed)
{
    QStringList arguments{
        QStringLiteral("--headless"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"),
        // Nothing but the page itself goes on the network: no updates, sync,
        // safe-browsing lists, metrics, reports or other background traffic.
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-extensions"),
        QStringLiteral("--disable-default-apps"),
        QStringLiteral("--disable-client-side-phishing-detection"),
        QStringLiteral("--disable-domain-reliability"),
        QStringLiteral("--disable-crash-reporter"),
        QStringLiteral("--disable-breakpad"),
        QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--no-pings"),
        QStringLiteral("--metrics-recording-only"),
        QStringLiteral("--safebrowsing-disable-auto-update"),
        QStringLiteral("--disable-features=Translate,OptimizationHints,MediaRouter,AutofillServerCommunication,"
                       "CertificateTransparencyComponentUpdater,DialMediaRouteProvider,site-per-process,IsolateOrigins"),
        // One page at a time, each in a context of its own that is gone before
        // the next: there are no other sites to be isolated from, and fewer
        // processes halve the start-up time.
        QStringLiteral("--disable-site-isolation-trials"),
        QStringLiteral("--renderer-process-limit=1"),
        QStringLiteral("--in-process-gpu"),
        QStringLiteral("--mute-audio"),
        QStringLiteral("--window-size=%1,%2").arg(kBrowserWindowWidth).arg(kBrowserWindowHeight),
    };
    if (!sandboxed)
        arguments.insert(1, QStringLiteral("--no-sandbox"));
    return arguments;
}

} // namespace vistrel::capture
