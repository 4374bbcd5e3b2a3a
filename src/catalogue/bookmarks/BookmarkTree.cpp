#include "catalogue/bookmarks/BookmarkTree.h"

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

} // namespace vistrel::catalogue
