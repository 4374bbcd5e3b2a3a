#include "server/http/HttpDirList.h"

#include "server/http/HttpHtmlText.h"

#include <QList>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace vistrel::server::httpdirlist {

namespace {

QByteArray hrefFor(QByteArrayView name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~') {
            out.append(c);
        } else {
            out.append('%').append(kHex[u >> 4]).append(kHex[u & 15]);
        }
    }
    return out;
}

} // namespace

QByteArray render(const QByteArray &folder, QByteArrayView requestPath)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return {};
    struct Entry
    {
        QByteArray name;
        bool folder;
    };
    QList<Entry> entries;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat st;
        const QByteArray full = folder + '/' + name;
        const bool isFolder = ::stat(full.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.append({name, isFolder});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.folder != b.folder ? a.folder : a.name < b.name;
    });

    const QByteArray title = escapeHtmlText(requestPath);
    QByteArray page = "<HTML><HEAD><TITLE>Index of " + title + "</TITLE></HEAD><BODY><H1>Index of " + title
                      + "</H1><UL>\r\n";
    // Links are relative to the folder, so its path must end with "/".
    const QByteArray base = requestPath.endsWith('/') ? QByteArray() : QByteArray(requestPath.toByteArray()) + '/';
    for (const Entry &entry : entries) {
        const QByteArray slash = entry.folder ? "/" : "";
        QByteArray href = base.isEmpty() ? hrefFor(entry.name) : escapeHtmlText(base) + hrefFor(entry.name);
        page += "<LI><A HREF=\"" + href + slash + "\">" + escapeHtmlText(entry.name) + slash + "</A></LI>\r\n";
    }
    page += "</UL></BODY></HTML>\r\n";
    return page;
}

} // namespace vistrel::server::httpdirlist
