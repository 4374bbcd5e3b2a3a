#include "platform/ShortcutWriter.h"
#include "platform/TextEncodings.h"

#include "platform/AtomicFile.h"
#include "platform/MainFlags.h"

#include <QCoreApplication>
#include <QUrl>

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

std::string favouriteFileName(std::string_view title)
{
    std::string name;
    name.reserve(title.size());
    for (char c : title) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\')
            name += '_';
        else if (u < 32 || u == 127)
            name += ' ';
        else
            name += c;
    }
    std::string_view kept = trimBlanks(name);
    if (kept.size() > kMaxFavouriteNameBytes) {
        std::size_t cut = kMaxFavouriteNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut;
        kept = trimBlanks(kept.substr(0, cut));
    }
    if (kept == "." || kept == "..")
        return {};
    return std::string(kept);
}

std::string favouriteNameFor(std::string_view title, std::string_view url)
{
    std::string name = favouriteFileName(title);
    if (!name.empty())
        return name;
    const QUrl parsed(QString::fromUtf8(url.data(), qsizetype(url.size())));
    name = favouriteFileName(parsed.host().toStdString());
    if (name.empty())
        name = favouriteFileName(url);
    return name.empty() ? std::string("Favourite") : name;
}

} // namespace vistrel::platform
