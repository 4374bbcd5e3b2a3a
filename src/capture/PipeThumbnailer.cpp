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
    const auto done = qScopeGuard([this] {
        m_busy = false;
        m_abandon = nullptr;
    });

    if (isSpkiPin(request.spkiPin)) {
        m_pins.insert(request.spkiPin);
        if (m_process && m_launchedPins.count(request.spkiPin) == 0)
            stopBrowser(); // begun again with this pin too
    }
    if (!m_process) {
        int attempt = 0;
        while (!startBrowser(request.abandon)) {
            if (request.abandon && request.abandon->load())
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
}

void PipeThumbnailer::afterCapture()
{
    ++m_capturesSinceStart;
    const qint64 resident = groupResidentBytes(browserGroup());
    m_peakResident = std::max(m_peakResident, resident);
    if (m_capturesSinceStart >= kCapturesPerBrowser || resident > kMaxResidentBytes)
        stopBrowser(); // begun afresh at the next page
}

void PipeThumbnailer::fault(const QString &why)
{
    if (m_fault.isEmpty())
        m_fault = why;
}

PipeThumbnailer::Outcome PipeThumbnailer::capture(const std::string &url, const QDeadlineTimer &deadline, QImage &shot)
{
    m_fault.clear();
    m_contextId.clear();
    m_targetId.clear();
    m_sessionId.clear();
    m_budgetExpired = false;
    readEvents(); // whatever the previous page left behind

    const auto context = call(QStringLiteral("Target.createBrowserContext"), {}, {}, deadline);
    if (!context)
        return Outcome::Fault;
    m_contextId = text(*context, "browserContextId");
    if (!call(QStringLiteral("Browser.setDownloadBehavior"),
              {{QStringLiteral("behavior"), QStringLiteral("deny")},
               {QStringLiteral("browserContextId"), m_contextId},
               {QStringLiteral("eventsEnabled"), true}},
              {}, deadline))
        return Outcome::Fault;
    const auto target = call(QStringLiteral("Target.createTarget"),
                             {{QStringLiteral("url"), QStringLiteral("about:blank")},
                              {QStringLiteral("browserContextId"), m_contextId},
                              {QStringLiteral("width"), kBrowserWindowWidth},
                              {QStringLiteral("height"), kBrowserWindowHeight}},
                             {}, deadline);
    if (!target)
        return Outcome::Fault;
    m_targetId = text(*target, "targetId");
    const auto attached = call(QStringLiteral("Target.attachToTarget"),
                               {{QStringLiteral("targetId"), m_targetId}, {QStringLiteral("flatten"), true}}, {}, deadline);
    if (!attached)
        return Outcome::Fault;
    m_sessionId = text(*attached, "sessionId");
    // Virtual time stands still until the page is on its way, then runs for
    // the budget, waiting whenever the page still fetches something.
    if (!call(QStringLiteral("Page.enable"), {}, m_sessionId, deadline)
        || !call(QStringLiteral("Emulation.setVirtualTimePolicy"), {{QStringLiteral("policy"), QStringLiteral("pause")}},
                 m_sessionId, deadline))
        return Outcome::Fault;
    const auto navigated =
        call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), QString::fromStdString(url)}}, m_sessionId, deadline);
    if (!navigated)
        return Outcome::Fault;
    if (navigated->value(QStringLiteral("isDownload")).toBool()) {
        fault(QStringLiteral("the page is a download"));
        return Outcome::Fault;
    }
    Outcome outcome = Outcome::Picture;
    if (!text(*navigated, "errorText").isEmpty()) {
        qCDebug(vistrelTrace) << "page not loaded:" << text(*navigated, "errorText");
        outcome = Outcome::Failed;
    } else {
        if (!call(QStringLiteral("Emulation.setVirtualTimePolicy"),
                  {{QStringLiteral("policy"), QStringLiteral("pauseIfNetworkFetchesPending")},
                   {QStringLiteral("budget"), kVirtualTimeBudgetMs}},
                  m_sessionId, deadline)
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
        const auto picture = call(QStringLiteral("Page.captureScreenshot"),
                                  {{QStringLiteral("format"), QStringLiteral("png")},
                                   {QStringLiteral("optimizeForSpeed"), true},
                                   {QStringLiteral("clip"), square}},
                                  m_sessionId, deadline);
        if (!picture)
            return Outcome::Fault;
        shot = QImage::fromData(QByteArray::fromBase64(text(*picture, "data").toLatin1()), "PNG");
        if (shot.isNull())
            outcome = Outcome::Failed;
    }
    // Nothing of the site outlives its picture.
    const QString disposed = m_contextId;
    m_sessionId.clear();
    m_targetId.clear();
    m_contextId.clear();
    if (!call(QStringLiteral("Target.disposeBrowserContext"), {{QStringLiteral("browserContextId"), disposed}}, {},
              deadline))
        return Outcome::Fault;
    return outcome;
}

std::optional<QJsonObject> PipeThumbnailer::call(const QString &method, const QJsonObject &params, const QString &session,
                                                 const QDeadlineTimer &deadline)
{
    if (!m_process || !m_fault.isEmpty())
        return std::nullopt;
    int id = 0;
    m_process->write(m_client.command(method, params, session, id));
    const QDeadlineTimer limit = std::min(deadline, QDeadlineTimer(m_commandTimeoutMs));
    const QByteArray what = QStringLiteral("no answer to %1").arg(method).toUtf8();
    if (!waitUntil([&] { return m_client.hasAnswer(id); }, limit, what.constData())) {
        m_client.forget(id);
        return std::nullopt;
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
        if (deadline.hasExpired()) {
            fault(QString::fromUtf8(what));
            return false;
        }
        tick.start(int(std::clamp<qint64>(deadline.remainingTime(), 1, kPollMilliseconds)));
        // The server stays served, but a click waits for the page in hand: a
        // cancel that waits for this capture must not run on top of it.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        tick.stop();
    }
}

void PipeThumbnailer::readEvents()
{
    for (const DevToolsClient::Event &event : m_client.takeEvents()) {
        const QString &method = event.method;
        const bool ours = !m_sessionId.isEmpty() && event.sessionId == m_sessionId;
        if (method == QLatin1String("Emulation.virtualTimeBudgetExpired")) {
            if (ours)
                m_budgetExpired = true;
        } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
            fault(QStringLiteral("the page opened a dialog"));
        } else if (method == QLatin1String("Page.windowOpen")) {
            fault(QStringLiteral("the page opened a pop-up"));
        } else if (method == QLatin1String("Target.targetCreated")) {
            const QJsonObject info = event.params.value(QStringLiteral("targetInfo")).toObject();
            const bool opened = !m_targetId.isEmpty() && text(info, "openerId") == m_targetId;
            const bool besides = !m_contextId.isEmpty() && text(info, "browserContextId") == m_contextId
                                 && text(info, "targetId") != m_targetId && !m_targetId.isEmpty();
            if (opened || besides)
                fault(QStringLiteral("the page opened a pop-up"));
        } else if (method == QLatin1String("Page.downloadWillBegin")
                   || method == QLatin1String("Browser.downloadWillBegin")) {
            fault(QStringLiteral("the page started a download"));
        } else if (method == QLatin1String("Inspector.targetCrashed")
                   || (method == QLatin1String("Target.targetCrashed") && !m_targetId.isEmpty()
                       && text(event.params, "targetId") == m_targetId)) {
            fault(QStringLiteral("the page crashed"));
        } else if (method == QLatin1String("Target.detachedFromTarget") && !m_sessionId.isEmpty()
                   && text(event.params, "sessionId") == m_sessionId) {
            fault(QStringLiteral("the page went away"));
        }
    }
}

} // namespace vistrel::capture
