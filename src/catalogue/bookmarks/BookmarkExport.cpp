#include "catalogue/bookmarks/BookmarkExport.h"

#include "capture/IniFile.h"
#include "catalogue/bookmarks/BookmarkTree.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace vistrel::catalogue {

namespace {

constexpr std::string_view kExtension = ".url";
// Each level of folders is indented by this much, as the browsers' own exports are.
constexpr int kIndent = 4;

struct Entries
{
    std::vector<std::string> files;   // shortcut files
    std::vector<std::string> folders;
};

bool endsWithExtension(const std::string &name)
{
    if (name.size() <= kExtension.size())
        return false;
    const std::string tail = name.substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

QString text(const std::string &bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

bool byName(const std::string &a, const std::string &b)
{
    const int order = text(a).compare(text(b), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

Entries list(const std::string &folder)
{
    Entries entries;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            entries.folders.push_back(name);
        else if (S_ISREG(info.st_mode) && endsWithExtension(name))
            entries.files.push_back(name);
    }
    ::closedir(dir);
    std::sort(entries.files.begin(), entries.files.end(), byName);
    std::sort(entries.folders.begin(), entries.folders.end(), byName);
    return entries;
}

class Writer
{
public:
    Writer(QByteArray &out, BookmarkExport::Result &result) : m_out(out), m_result(result) {}

    // Folders are followed only as deep as the program watches them.
    void folder(const std::string &path, int depth)
    {
        const Entries entries = list(path);
        for (const std::string &file : entries.files)
            favourite(path + "/" + file, file.substr(0, file.size() - kExtension.size()), depth);
        if (depth >= BookmarkTree::kMaxFolderDepth)
            return;
        for (const std::string &name : entries.folders) {
            const std::string sub = path + "/" + name;
            const QString real = QFileInfo(QFile::decodeName(QByteArray::fromStdString(sub))).canonicalFilePath();
            if (m_seen.contains(real))
                continue; // a link back up the tree
            m_seen.insert(real);
            ++m_result.folders;
            line(depth, "<DT><H3");
            if (depth == 1 && name == "Links")
                m_out += " PERSONAL_TOOLBAR_FOLDER=\"true\"";
            m_out += '>' + BookmarkExport::escape(text(name)) + "</H3>\n";
            line(depth, "<DL><p>\n");
            folder(sub, depth + 1);
            line(depth, "</DL><p>\n");
        }
    }

    void start(const QString &root)
    {
        m_seen.insert(QFileInfo(root).canonicalFilePath());
    }

private:
    void line(int depth, const char *text)
    {
        m_out += QByteArray(depth * kIndent, ' ');
        m_out += text;
    }

    void favourite(const std::string &path, const std::string &title, int depth)
    {
        const std::optional<capture::IniFile> file =
            capture::IniFile::load(QFile::decodeName(QByteArray::fromStdString(path)));
        const std::optional<std::string> url = file ? file->value("InternetShortcut", "URL") : std::nullopt;
        if (!url || url->empty()) {
            ++m_result.skipped;
            return;
        }
        ++m_result.favourites;
        line(depth, "<DT><A HREF=\"");
        m_out += BookmarkExport::escape(text(*url)) + "\">" + BookmarkExport::escape(text(title)) + "</A>\n";
    }

    QByteArray &m_out;
    BookmarkExport::Result &m_result;
    QSet<QString> m_seen;
};

} // namespace

QByteArray BookmarkExport::escape(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        default:
            // Control characters would end up in the importing browser's titles.
            out += c.unicode() < 0x20 || c.unicode() == 0x7F ? QLatin1Char(' ') : c;
        }
    }
    return out.toUtf8();
}

QByteArray BookmarkExport::document(const QString &favoritesFolder, Result &result)
{
    result = {};
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                     "<!-- This file is written by Vistrel from the Favorites folder. -->\n"
                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                     "<TITLE>Bookmarks</TITLE>\n"
                     "<H1>Bookmarks</H1>\n"
                     "<DL><p>\n";
    Writer writer(out, result);
    writer.start(favoritesFolder);
    writer.folder(QFile::encodeName(favoritesFolder).toStdString(), 1);
    out += "</DL><p>\n";
    return out;
}

bool BookmarkExport::write(const QString &favoritesFolder, const QString &htmlPath, Result &result, QString &error)
{
    if (!QFileInfo(favoritesFolder).isDir()) {
        error = QStringLiteral("The Favorites folder %1 does not exist.").arg(favoritesFolder);
        return false;
    }
    const QFileInfo target(htmlPath);
    if (target.isDir()) {
        error = QStringLiteral("%1 is a folder.").arg(htmlPath);
        return false;
    }
    if (!target.absoluteDir().exists()) {
        error = QStringLiteral("The folder %1 does not exist.").arg(target.absolutePath());
        return false;
    }
    const QByteArray html = document(favoritesFolder, result);
    if (!platform::writeFileAtomically(htmlPath, html)) {
        error = QStringLiteral("Cannot write %1.").arg(htmlPath);
        return false;
    }
    return true;
}

} // namespace vistrel::catalogue
