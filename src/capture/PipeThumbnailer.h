#pragma once

#include "capture/BrowserSandbox.h"
#include "capture/CardThumbnailer.h"
#include "capture/DevToolsClient.h"
#include "capture/ThumbnailSource.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vistrel::platform {
class PrivateTempFolder;
}

namespace vistrel::capture {

class BrowserProcess;
class BrowserProfile;

// Pictures pages with one headless browser kept open and driven over its
// debugging pipe. Every page gets a browser context of its own (no cookie,
// cache or storage passes from one site to the next), a 1024 x 768 view and
// the same virtual-time budget as a browser started for it alone. The browser
// starts at the first picture and ends with this object. Any fault (no answer,
// a crash, a dialog, a download, a pop-up, a page that never finishes) costs
// that page its picture and the browser its life: it is killed with
// everything it started and begun afresh for the next page. When it fails to
// start twice in a row, cards stand in for the rest of this object's life.
// A cancelled refresh ends the page in hand at once, the browser with it.
class PipeThumbnailer : public ThumbnailSource
{
public:
    static constexpr int kStartAttempts = 2;
    // From the start to its first answer.
    static constexpr int kStartTimeoutMs = 15000;
    // For any one command but the wait for the page.
    static constexpr int kCommandTimeoutMs = 10000;
    // The browser begins afresh after this many pictures, or sooner when its
    // processes hold more than kMaxResidentBytes, so its memory stays bounded.
    static constexpr int kCapturesPerBrowser = 200;
    static constexpr qint64 kMaxResidentBytes = qint64(1024) * 1024 * 1024;

    // notice: one line for the person who watches the display.
    PipeThumbnailer(QString browser, const platform::PrivateTempFolder &tempFolder, bool sandboxed = browserSandboxed(),
                    std::function<void(const QString &)> notice = {});
    ~PipeThumbnailer() override;

    std::optional<QImage> render(const ThumbnailRequest &request) override;

    // The arguments for a browser with the given profile, without the program.
    // Pins: the keys of certificates the probe verified, which the browser may
    // take; a launch flag, so a page with a new pin begins a new browser.
    static QStringList arguments(const QString &userDataDir, bool sandboxed, const std::set<std::string> &pins = {});

    // For tests and the benchmark.
    bool running() const;
    pid_t browserGroup() const;
    int browserStarts() const { return m_starts; }
    bool usingCards() const { return m_usingCards; }
    qint64 peakResidentBytes() const { return m_peakResident; }
    void setCommandTimeout(int milliseconds) { m_commandTimeoutMs = milliseconds; }
    // Why the last picture was not taken; empty when it was.
    const QString &lastFault() const { return m_fault; }

private:
    enum class Outcome { Picture, Failed, Fault };

    // A browser context with its one view, attached and ready for a page.
    struct Page
    {
        QString contextId;
        QString targetId;
        QString sessionId;
    };
    // The next page, opened while this program does its own work between
    // pictures (the new context's renderer takes longer to start than
    // anything else a picture needs). Driven by the answers as they come.
    struct Opening
    {
        enum class Step { None, Context, Target, Session, Settling, Failed };
        Step step = Step::None;
        int awaited = 0;         // the command whose result the next step needs
        std::vector<int> checks; // commands that only have to succeed
        Page page;
        QString failure;
        bool ready() const { return step == Step::Settling && checks.empty(); }
    };

    bool startBrowser(const std::atomic<bool> *abandon);
    void stopBrowser();
    Outcome capture(const std::string &url, const QDeadlineTimer &deadline, QImage &shot);
    int send(const QString &method, const QJsonObject &params = {}, const QString &session = {});
    // A command's answer is awaited until the deadline, and no longer than
    // kCommandTimeoutMs unless only the site can be slow.
    enum class CallLimit { Command, SiteTimeout };
    std::optional<QJsonObject> call(const QString &method, const QJsonObject &params, const QString &session,
                                    const QDeadlineTimer &deadline, CallLimit bound = CallLimit::Command);
    bool waitUntil(const std::function<bool()> &done, const QDeadlineTimer &deadline, const char *what);
    void readEvents();
    void fault(const QString &why);
    void afterCapture();
    bool stopAsked() const;

    void openNext();
    void advanceOpening();
    void openingFailed(const QString &why);
    bool takeOpened(const QDeadlineTimer &deadline);

    QString m_browser;
    const platform::PrivateTempFolder &m_tempFolder;
    bool m_sandboxed;
    std::function<void(const QString &)> m_notice;
    CardThumbnailer m_cards;

    std::unique_ptr<BrowserProfile> m_profile;
    std::unique_ptr<BrowserProcess> m_process;
    DevToolsClient m_client;
    const std::atomic<bool> *m_abandon = nullptr;
    std::function<bool()> m_cancelled;
    int m_commandTimeoutMs = kCommandTimeoutMs;
    int m_starts = 0;
    int m_capturesSinceStart = 0;
    bool m_usingCards = false;
    std::set<std::string> m_pins;         // every pin seen so far
    std::set<std::string> m_launchedPins; // those the running browser has
    bool m_busy = false;
    qint64 m_peakResident = 0;

    Opening m_opening;
    // The page in hand.
    Page m_page;
    bool m_budgetExpired = false;
    QString m_fault;
};

} // namespace vistrel::capture
