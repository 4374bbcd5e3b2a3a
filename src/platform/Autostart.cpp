#include "platform/Autostart.h"

#include "platform/AtomicFile.h"
#include "platform/SpecialFolders.h"

#include <QFile>

namespace vistrel::platform {

QString autostartEntryPath()
{
    return xdgConfigHome() + QStringLiteral("/autostart/vistrel.desktop");
}

QString desktopExecValue(const QString &programPath)
{
    // Characters that make an Exec argument need quoting.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument = programPath;
    // "%" starts a field code; a literal one is doubled.
    argument.replace(QLatin1Char('%'), QLatin1String("%%"));
    bool needsQuotes = false;
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (needsQuotes) {
        QString quoted;
        for (const QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        argument = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    // The value is a string first: its own escapes are undone before the
    // quoting is, so every backslash and control character is escaped again.
    QString value;
    for (const QChar c : argument) {
        switch (c.unicode()) {
        case '\\':
            value += QLatin1String("\\\\");
            break;
        case '\n':
            value += QLatin1String("\\n");
            break;
        case '\t':
            value += QLatin1String("\\t");
            break;
        case '\r':
            value += QLatin1String("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

bool updateStartupList(const QString &name, const QString &programPath, bool wanted)
{
    const QString path = autostartEntryPath();
    if (!wanted)
        return !QFile::exists(path) || QFile::remove(path);
    const QStringList lines{
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + name,
        QStringLiteral("Exec=") + desktopExecValue(programPath),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
    };
    QByteArray bytes;
    for (const QString &l : lines)
        bytes += l.toUtf8() + '\n';
    return writeFileAtomically(path, bytes);
}

} // namespace vistrel::platform
