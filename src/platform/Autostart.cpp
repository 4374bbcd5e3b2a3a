#include "platform/Autostart.h"

#include "platform/AtomicFile.h"
#include "platform/SpecialFolders.h"

#include <QFile>

namespace vistrel::platform {

QString autostartEntryPath()
{
    return xdgConfigHome() + QStringLiteral("/autostart/vistrel.desktop");
}

bool updateStartupList(const QString &name, const QString &programPath, bool wanted)
{
    const QString path = autostartEntryPath();
    if (!wanted)
        return !QFile::exists(path) || QFile::remove(path);
    // Exec needs quoting when the path holds blanks or quotes.
    QString exec = programPath;
    if (exec.contains(QLatin1Char(' ')) || exec.contains(QLatin1Char('"'))) {
        exec.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        exec = QLatin1Char('"') + exec + QLatin1Char('"');
    }
    const QStringList lines{
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + name,
        QStringLiteral("Exec=") + exec,
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
    };
    QByteArray bytes;
    for (const QString &l : lines)
        bytes += l.toUtf8() + '\n';
    return writeFileAtomically(path, bytes);
}

} // namespace vistrel::platform
