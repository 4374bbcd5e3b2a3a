#include "capture/BrowserLocator.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace vistrel::capture {

QString findBrowser()
{
    const QString chosen = qEnvironmentVariable("VISTREL_BROWSER");
    if (!chosen.isEmpty()) {
        if (chosen.contains(QLatin1Char('/'))) {
            const QFileInfo file(chosen);
            return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
        }
        return QStandardPaths::findExecutable(chosen);
    }
    // The headless shell is Chromium's own build without the desktop browser
    // around it: it starts in about half the time, and a capture is mostly
    // start-up.
    for (const char *name : {"chromium-headless-shell", "chromium", "chromium-browser", "google-chrome"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace vistrel::capture
