#pragma once

#include "capture/ThumbnailSource.h"

#include <QString>
#include <QStringList>

namespace vistrel::platform {
class PrivateTempFolder;
}

namespace vistrel::capture {

// Pictures a page with a headless browser: one child process per page, in a
// process group of its own, with a fresh profile in the private temporary
// folder and its own HOME there, so nothing of it lands anywhere else. The
// page gets a 1024 x 768 window; at the time-out the whole group is killed.
// Whatever happens, no process, profile or file of it is left behind.
class ChromiumThumbnailer : public ThumbnailSource
{
public:
    static constexpr int kWindowWidth = 1024;
    static constexpr int kWindowHeight = 768;
    // Virtual time the page may use for scripts and timers before the picture.
    static constexpr int kVirtualTimeBudgetMs = 3000;
    // How long killed processes may take to be gone.
    static constexpr int kSweepWaitMs = 3000;

    ChromiumThumbnailer(QString browser, const platform::PrivateTempFolder &tempFolder);

    std::optional<QImage> render(const ThumbnailRequest &request) override;

    // The command line for a page, without the program. A pin lets the
    // browser take the one certificate the probe verified (the flag only
    // works with a private profile, which every capture has).
    static QStringList arguments(const QString &profile, const QString &screenshot, const std::string &url,
                                 const std::string &spkiPin = {});

private:
    QString m_browser;
    const platform::PrivateTempFolder &m_tempFolder;
};

} // namespace vistrel::capture
