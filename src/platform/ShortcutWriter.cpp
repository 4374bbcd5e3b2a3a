#include "platform/ShortcutWriter.h"

#include "platform/AtomicFile.h"
#include "platform/MainFlags.h"

#include <QCoreApplication>

namespace vistrel::platform {

std::string shortcutFileText(std::string_view url)
{
    std::string text = "[InternetShortcut]\r\nURL=";
    for (char c : url)
        if (c != '\r' && c != '\n' && c != '\0')
            text += c;
    text += "\r\n";
    return text;
}

bool writeShortcut(MainFlags &flags, const QString &path, std::string_view url)
{
    flags.writingShortcut = true;
    const bool written = writeFileAtomically(path, QByteArray::fromStdString(shortcutFileText(url)));
    QCoreApplication::processEvents();
    return written;
}

} // namespace vistrel::platform
