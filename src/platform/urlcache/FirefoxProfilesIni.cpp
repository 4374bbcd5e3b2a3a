#include "platform/urlcache/FirefoxProfilesIni.h"

#include <QDir>
#include <QFile>

namespace vistrel::platform {

namespace {

struct ProfileSection
{
    bool active = false;
    QByteArray path;
    QByteArray isRelative;
};

QString profileFolder(const ProfileSection &section, const QDir &base)
{
    const QString path = QFile::decodeName(section.path);
    const bool relative = section.isRelative == "1"
                          || (section.isRelative.isEmpty() && QDir::isRelativePath(path));
    return QDir::cleanPath(relative ? base.absoluteFilePath(path) : path);
}

} // namespace

QStringList firefoxProfileFolders(const QByteArray &iniText, const QString &iniFolder)
{
    const QDir base(iniFolder);
    QStringList folders;
    ProfileSection section;
    auto finish = [&] {
        if (section.active && !section.path.isEmpty()) {
            const QString folder = profileFolder(section, base);
            if (!folders.contains(folder))
                folders.append(folder);
        }
        section = ProfileSection();
    };

    QByteArray text = iniText;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            finish();
            const qsizetype close = line.indexOf(']');
            const QByteArray name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            section.active = name.toLower().startsWith("profile");
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!section.active || equals <= 0)
            continue;
        const QByteArray key = line.left(equals).trimmed().toLower();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "path")
            section.path = value;
        else if (key == "isrelative")
            section.isRelative = value;
    }
    finish();
    return folders;
}

} // namespace vistrel::platform
