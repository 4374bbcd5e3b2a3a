#include "catalogue/bookmarks/BookmarkTree.h"

#include <QFile>

namespace vistrel::catalogue {

BookmarkTree::BookmarkTree()
{
    m_folders.push_back({-1, 0, QString()});
    m_folders.push_back({-1, 1, QStringLiteral("Links")});
    m_folders.push_back({-1, 1, QStringLiteral("Mobile")});
}

int BookmarkTree::addFolder(int parent, const QString &title)
{
    const int depth = m_folders[std::size_t(parent)].depth + 1;
    if (depth > kMaxFolderDepth) {
        ++m_flattened;
        return parent;
    }
    m_folders.push_back({parent, depth, title});
    return int(m_folders.size() - 1);
}

void BookmarkTree::addLink(int folder, const QString &title, const QByteArray &url)
{
    const QByteArray trimmed = url.trimmed();
    if (!importableUrl(trimmed)) {
        ++m_skipped;
        return;
    }
    m_links.push_back({folder, title, trimmed});
}

bool BookmarkTree::importableUrl(const QByteArray &url)
{
    if (url.size() > kMaxUrlBytes)
        return false;
    const qsizetype colon = url.indexOf(':');
    if (colon <= 0)
        return false;
    const QByteArray scheme = url.left(colon).toLower();
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file";
}

std::optional<QByteArray> readBookmarkFile(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the bookmark file (%1)").arg(file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxBookmarkFileBytes) {
        error = QStringLiteral("the bookmark file is larger than %1 MiB").arg(kMaxBookmarkFileBytes / (1024 * 1024));
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace vistrel::catalogue
