#include "capture/PipeThumbnailer.h"

#include "capture/BrowserArguments.h"
#include "capture/BrowserProcess.h"
#include "capture/BrowserProfile.h"
#include "capture/ProcessSweep.h"
#include "platform/Trace.h"

#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>

namespace vistrel::capture {

namespace {

// The wait for the browser looks at the time and the watchdog this often.
constexpr int kPollMilliseconds = 100;

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

} // namespace

PipeThumbnailer::PipeThumbnailer(QString browser, const platform::PrivateTempFolder &tempFolder, bool sandboxed,
                                 std::function<void(const QString &)> notice)
    : m_browser(std::move(browser)), m_tempFolder(tempFolder), m_sandboxed(sandboxed), m_notice(std::move(notice))
{
}

PipeThumbnailer::~PipeThumbnailer()
{
    stopBrowser();
}

QStringList PipeThumbnailer::arguments(const QString &userDataDir, bool sandboxed, const std::set<std::string> &pins)
{
    QStringList list = commonBrowserArguments(sandboxed)
                       + QStringList{QStringLiteral("--remote-debugging-pipe"), QStringLiteral("--user-data-dir=") + userDataDir};
    QStringList wellFormed;
    for (const std::string &pin : pins)
        if (isSpkiPin(pin))
            wellFormed << QString::fromStdString(pin);
    if (!wellFormed.isEmpty())
        list << QStringLiteral("--ignore-certificate-errors-spki-list=") + wellFormed.join(QLatin1Char(','));
    return list;
}

bool PipeThumbnailer::running() const
{
    return m_process != nullptr;
}

pid_t PipeThumbnailer::browserGroup() const
{
    return m_process ? m_process->group() : 0;
}

std::optional<QImage> PipeThumbnailer::render(const ThumbnailRequest &request)
{
    if (m_usingCards)
        return m_cards.render(request);
    const std::string url = renderableUrl(request.url);
    // A picture asked for while one is being taken (from an event served
    // meanwhile) would tangle the two pages' messages.
    if (url.empty() || m_browser.isEmpty() || m_busy)
        return std::nullopt;
    m_busy = true;
    m_abandon = request.abandon;
    m_cancelled = request.cancelled;
    const auto done = qScopeGuard([this] {
        m_busy = false;
        m_abandon = nullptr;
        m_cancelled = nullptr;
    });

    if (isSpkiPin(request.spkiPin)) {
        m_pins.insert(request.spkiPin);
        if (m_process && m_launchedPins.count(request.spkiPin) == 0)
            stopBrowser(); // begun again with this pin too
    }
    // A browser that died, or whose pipe broke, between two pages is begun
    // afresh before the next rather than costing it its picture.
    if (m_process && (!m_process->isRunning() || m_client.broken()))
        stopBrowser();
    if (!m_process) {
        int attempt = 0;
        while (!startBrowser(request.abandon)) {
            if (stopAsked())
                return std::nullopt;
            if (++attempt >= kStartAttempts) {
                m_usingCards = true;
                if (m_notice)
                    m_notice(QStringLiteral("The page browser did not start (%1); cards stand in for page pictures "
                                            "for the rest of this refresh.")
                                 .arg(m_fault));
                return m_cards.render(request);
            }
        }
    }

    QImage shot;
    const Outcome outcome = capture(url, QDeadlineTimer(request.timeout), shot);
    if (outcome == Outcome::Fault) {
        qCDebug(vistrelTrace) << "browser fault:" << m_fault << "for" << url.c_str();
        stopBrowser();
    } else {
        afterCapture();
    }
    if (outcome != Outcome::Picture || shot.isNull())
        return std::nullopt;
    return squareThumbnail(shot);
}

bool PipeThumbnailer::startBrowser(const std::atomic<bool> *abandon)
{
    stopBrowser();
    m_fault.clear();
    m_profile = std::make_unique<BrowserProfile>(m_tempFolder);
    if (!m_profile->isValid()) {
        m_fault = QStringLiteral("no private folder for its profile");
        m_profile.reset();
        return false;
    }
    m_client = DevToolsClient();
    m_process = std::make_unique<BrowserProcess>();
    QObject::connect(m_process.get(), &BrowserProcess::received, m_process.get(), [this](const QByteArray &bytes) {
        if (!m_client.feed(bytes))
            fault(QStringLiteral("its pipe carried %1").arg(m_client.failure()));
        advanceOpening();
    });
    m_launchedPins = m_pins;
    if (!m_process->start(m_browser, arguments(m_profile->userDataDir(), m_sandboxed, m_launchedPins),
                          m_profile->environment().toStringList(), m_profile->path())) {
        m_fault = QStringLiteral("%1 could not be run").arg(m_browser);
        stopBrowser();
        return false;
    }
    ++m_starts;
    m_abandon = abandon;
    const QDeadlineTimer deadline(kStartTimeoutMs);
    if (!call(QStringLiteral("Browser.getVersion"), {}, {}, deadline)
        || !call(QStringLiteral("Target.setDiscoverTargets"), {{QStringLiteral("discover"), true}}, {}, deadline)) {
        const QString why = m_fault;
        stopBrowser();
        m_fault = why;
        return false;
    }
    m_capturesSinceStart = 0;
    openNext();
    if (!m_sandboxed && m_notice) {
        static bool said = false;
        if (!said)
            m_notice(unsandboxedNotice());
        said = true;
    }
    return true;
}

void PipeThumbnailer::stopBrowser()
{
    if (m_process) {
        m_process->stop(m_profile ? QFile::encodeName(m_profile->path()) : QByteArray());
        m_process.reset();
    }
    m_profile.reset();
    m_client = DevToolsClient();
    m_opening = Opening();
}

void PipeThumbnailer::afterCapture()
{
    ++m_capturesSinceStart;
    const qint64 resident = groupResidentBytes(browserGroup());
    m_peakResident = std::max(m_peakResident, resident);
    if (m_capturesSinceStart >= kCapturesPerBrowser || resident > kMaxResidentBytes)
        stopBrowser(); // begun afresh at the next page
}

bool PipeThumbnailer::stopAsked() const
{
    return (m_abandon && m_abandon->load()) || (m_cancelled && m_cancelled());
}

void PipeThumbnailer::fault(const QString &why)
{
    if (m_fault.isEmpty())
        m_fault = why;
}

PipeThumbnailer::Outcome PipeThumbnailer::capture(const std::string &url, const QDeadlineTimer &deadline, QImage &shot)
{
    m_fault.clear();
    m_page = Page();
    m_budgetExpired = false;
    readEvents(); // whatever the previous page left behind
    if (!takeOpened(deadline))
        return Outcome::Fault;

    // The answer comes once the site has answered: the site's time-out bounds
    // it, not the browser's.
    const auto navigated = call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), QString::fromStdString(url)}},
                                m_page.sessionId, deadline, CallLimit::SiteTimeout);
    if (!navigated)
        return Outcome::Fault;
    if (navigated->value(QStringLiteral("isDownload")).toBool()) {
        fault(QStringLiteral("the page is a download"));
        return Outcome::Fault;
    }
    // The next page's renderer starts while this one loads: the slowest step
    // of opening a page, done beside the rest.
    openNext();
    Outcome outcome = Outcome::Picture;
    QByteArray picture;
    if (!text(*navigated, "errorText").isEmpty()) {
        qCDebug(vistrelTrace) << "page not loaded:" << text(*navigated, "errorText");
        outcome = Outcome::Failed;
    } else {
        // Virtual time stood still while the page was on its way; now it runs
        // for the budget, waiting whenever the page still fetches something.
        if (!call(QStringLiteral("Emulation.setVirtualTimePolicy"),
                  {{QStringLiteral("policy"), QStringLiteral("pauseIfNetworkFetchesPending")},
                   {QStringLiteral("budget"), kVirtualTimeBudgetMs}},
                  m_page.sessionId, deadline)
            || !waitUntil([this] { return m_budgetExpired; }, deadline, "the page never finished loading"))
            return Outcome::Fault;
        // Only the square the thumbnail is cut from, losslessly and quickly:
        // encoding the whole window cost more than anything else per page.
        const int side = std::min(kBrowserWindowWidth, kBrowserWindowHeight);
        const QJsonObject square{{QStringLiteral("x"), 0},
                                 {QStringLiteral("y"), 0},
                                 {QStringLiteral("width"), side},
                                 {QStringLiteral("height"), side},
                                 {QStringLiteral("scale"), 1}};
        const auto answer = call(QStringLiteral("Page.captureScreenshot"),
                                 {{QStringLiteral("format"), QStringLiteral("png")},
                                  {QStringLiteral("optimizeForSpeed"), true},
                                  {QStringLiteral("clip"), square}},
                                 m_page.sessionId, deadline);
        if (!answer)
            return Outcome::Fault;
        picture = QByteArray::fromBase64(text(*answer, "data").toLatin1());
    }
    // Nothing of the site outlives its picture. The browser disposes of it
    // while the picture is decoded and the program goes on; a failure there
    // shows when the next page is taken.
    m_opening.checks.push_back(
        send(QStringLiteral("Target.disposeBrowserContext"), {{QStringLiteral("browserContextId"), m_page.contextId}}));
    m_page = Page();
    openNext();
    if (outcome == Outcome::Picture) {
        shot = QImage::fromData(picture, "PNG");
        if (shot.isNull())
            outcome = Outcome::Failed;
    }
    return outcome;
}

void PipeThumbnailer::openNext()
{
    if (!m_process || m_opening.step != Opening::Step::None)
        return;
    m_opening.step = Opening::Step::Context;
    m_opening.awaited = send(QStringLiteral("Target.createBrowserContext"));
}

void PipeThumbnailer::openingFailed(const QString &why)
{
    if (m_opening.step == Opening::Step::Failed)
        return;
    m_opening.step = Opening::Step::Failed;
    m_opening.failure = why;
}

void PipeThumbnailer::advanceOpening()
{
    using Step = Opening::Step;
    Opening &o = m_opening;
    for (;;) {
        if (o.step == Step::None || o.step == Step::Failed)
            return;
        for (auto check = o.checks.begin(); check != o.checks.end();) {
            const auto answer = m_client.takeAnswer(*check);
            if (!answer) {
                ++check;
                continue;
            }
            if (!answer->error.isEmpty())
                return openingFailed(QStringLiteral("a page could not be opened: ") + answer->error);
            check = o.checks.erase(check);
        }
        if (o.step == Step::Settling)
            return;
        const auto answer = m_client.takeAnswer(o.awaited);
        if (!answer)
            return;
        if (!answer->error.isEmpty())
            return openingFailed(QStringLiteral("a page could not be opened: ") + answer->error);
        switch (o.step) {
        case Step::Context:
            o.page.contextId = text(answer->result, "browserContextId");
            o.checks.push_back(send(QStringLiteral("Browser.setDownloadBehavior"),
                                    {{QStringLiteral("behavior"), QStringLiteral("deny")},
                                     {QStringLiteral("browserContextId"), o.page.contextId},
                                     {QStringLiteral("eventsEnabled"), true}}));
            o.awaited = send(QStringLiteral("Target.createTarget"),
                             {{QStringLiteral("url"), QStringLiteral("about:blank")},
                              {QStringLiteral("browserContextId"), o.page.contextId},
                              {QStringLiteral("width"), kBrowserWindowWidth},
                              {QStringLiteral("height"), kBrowserWindowHeight}});
            o.step = Step::Target;
            break;
        case Step::Target:
            o.page.targetId = text(answer->result, "targetId");
            o.awaited = send(QStringLiteral("Target.attachToTarget"),
                             {{QStringLiteral("targetId"), o.page.targetId}, {QStringLiteral("flatten"), true}});
            o.step = Step::Session;
            break;
        case Step::Session:
            o.page.sessionId = text(answer->result, "sessionId");
            // Virtual time stands still until the page is on its way.
            o.checks.push_back(send(QStringLiteral("Page.enable"), {}, o.page.sessionId));
            o.checks.push_back(send(QStringLiteral("Emulation.setVirtualTimePolicy"),
                                    {{QStringLiteral("policy"), QStringLiteral("pause")}}, o.page.sessionId));
            o.awaited = 0;
            o.step = Step::Settling;
            break;
        default:
            return;
        }
    }
}

bool PipeThumbnailer::takeOpened(const QDeadlineTimer &deadline)
{
    using Step = Opening::Step;
    openNext();
    if (!waitUntil([this] { return m_opening.ready() || m_opening.step == Step::Failed; },
                   std::min(deadline, QDeadlineTimer(m_commandTimeoutMs)), "no page could be opened"))
        return false;
    if (m_opening.step == Step::Failed) {
        fault(m_opening.failure);
        return false;
    }
    m_page = m_opening.page;
    m_opening = Opening();
    return true;
}

int PipeThumbnailer::send(const QString &method, const QJsonObject &params, const QString &session)
{
    int id = 0;
    if (m_process)
        m_process->write(m_client.command(method, params, session, id));
    return id;
}

std::optional<QJsonObject> PipeThumbnailer::call(const QString &method, const QJsonObject &params, const QString &session,
                                                 const QDeadlineTimer &deadline, CallLimit bound)
{
    if (!m_process || !m_fault.isEmpty())
        return std::nullopt;
    const int id = send(method, params, session);
    if (bound == CallLimit::Command) {
        const QByteArray what = QStringLiteral("no answer to %1").arg(method).toUtf8();
        if (!waitUntil([&] { return m_client.hasAnswer(id); }, std::min(deadline, QDeadlineTimer(m_commandTimeoutMs)),
                       what.constData())) {
            m_client.forget(id);
            return std::nullopt;
        }
    } else {
        // The site may hold the answer back until its time-out; the browser
        // itself must still answer a ping within the command time-out.
        int ping = 0;
        QDeadlineTimer nextPing(m_commandTimeoutMs);
        const auto answered = [&] {
            if (m_client.hasAnswer(id))
                return true;
            if (ping != 0 && m_client.takeAnswer(ping)) {
                ping = 0;
                nextPing = QDeadlineTimer(m_commandTimeoutMs);
            } else if (nextPing.hasExpired()) {
                if (ping != 0)
                    fault(QStringLiteral("the browser stopped answering"));
                ping = send(QStringLiteral("Browser.getVersion"));
                nextPing = QDeadlineTimer(m_commandTimeoutMs);
            }
            return false;
        };
        const bool ok = waitUntil(answered, deadline, "the site never answered");
        m_client.forget(ping);
        if (!ok) {
            m_client.forget(id);
            return std::nullopt;
        }
    }
    const auto answer = m_client.takeAnswer(id);
    if (!answer->error.isEmpty()) {
        fault(method + QStringLiteral(" failed: ") + answer->error);
        return std::nullopt;
    }
    return answer->result;
}

bool PipeThumbnailer::waitUntil(const std::function<bool()> &done, const QDeadlineTimer &deadline, const char *what)
{
    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_process.get(), &BrowserProcess::received, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QObject::connect(m_process.get(), &BrowserProcess::ended, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    for (;;) {
        readEvents();
        advanceOpening();
        if (!m_fault.isEmpty())
            return false;
        if (done())
            return true;
        if (!m_process->isRunning()) {
            fault(QStringLiteral("the browser ended"));
            return false;
        }
        if (m_abandon && m_abandon->load()) {
            fault(QStringLiteral("the watchdog gave up"));
            return false;
        }
        if (m_cancelled && m_cancelled()) {
            fault(QStringLiteral("the refresh was cancelled"));
            return false;
        }
        if (deadline.hasExpired()) {
            fault(QString::fromUtf8(what));
            return false;
        }
        tick.start(int(std::clamp<qint64>(deadline.remainingTime(), 1, kPollMilliseconds)));
        // Clicks are served too: a cancel among them ends this page at the
        // next look, and nothing else a click starts takes the browser.
        loop.exec();
        tick.stop();
    }
}

void PipeThumbnailer::readEvents()
{
    const Page &page = m_page;
    const Page &next = m_opening.page;
    for (const DevToolsClient::Event &event : m_client.takeEvents()) {
        const QString &method = event.method;
        const bool ours = !page.sessionId.isEmpty() && event.sessionId == page.sessionId;
        const bool nexts = !next.sessionId.isEmpty() && event.sessionId == next.sessionId;
        const QString targetId = text(event.params, "targetId");
        if (method == QLatin1String("Emulation.virtualTimeBudgetExpired")) {
            if (ours)
                m_budgetExpired = true;
        } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
            // A page already disposed of, whose last words come late, costs nothing.
            if (ours)
                fault(QStringLiteral("the page opened a dialog"));
        } else if (method == QLatin1String("Page.windowOpen")) {
            if (ours)
                fault(QStringLiteral("the page opened a pop-up"));
        } else if (method == QLatin1String("Target.targetCreated")) {
            const QJsonObject info = event.params.value(QStringLiteral("targetInfo")).toObject();
            const bool opened = !page.targetId.isEmpty() && text(info, "openerId") == page.targetId;
            const bool besides = !page.contextId.isEmpty() && text(info, "browserContextId") == page.contextId
                                 && text(info, "targetId") != page.targetId && !page.targetId.isEmpty();
            if (opened || besides)
                fault(QStringLiteral("the page opened a pop-up"));
        } else if (method == QLatin1String("Page.downloadWillBegin")
                   || method == QLatin1String("Browser.downloadWillBegin")) {
            fault(QStringLiteral("the page started a download"));
        } else if ((method == QLatin1String("Inspector.targetCrashed") && nexts)
                   || (method == QLatin1String("Target.targetCrashed") && !next.targetId.isEmpty()
                       && targetId == next.targetId)) {
            openingFailed(QStringLiteral("the next page crashed"));
        } else if ((method == QLatin1String("Inspector.targetCrashed") && ours)
                   || (method == QLatin1String("Target.targetCrashed") && !page.targetId.isEmpty()
                       && targetId == page.targetId)) {
            fault(QStringLiteral("the page crashed"));
        } else if (method == QLatin1String("Target.detachedFromTarget")) {
            const QString session = text(event.params, "sessionId");
            if (!page.sessionId.isEmpty() && session == page.sessionId)
                fault(QStringLiteral("the page went away"));
            else if (!next.sessionId.isEmpty() && session == next.sessionId)
                openingFailed(QStringLiteral("the next page went away"));
        }
    }
}

} // namespace vistrel::capture
