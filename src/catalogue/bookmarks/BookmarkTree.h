#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace vistrel::catalogue {

// Bookmarks read from one browser profile or file, before anything is written:
// folders and links in the order the source gives them, already sorted into the
// three places they go. Kept flat (a folder names its parent by index) so that
// hostile nesting costs no recursion anywhere.
class BookmarkTree
{
public:
    // Folders deeper than the folder monitor watches would never refresh, so
    // their bookmarks go into the deepest folder it does watch.
    static constexpr int kMaxFolderDepth = 64;
    // Longer addresses are not kept (no browser keeps them either).
    static constexpr qsizetype kMaxUrlBytes = 64 * 1024;

    // The three top folders: the Favorites folder itself, its "Links" folder
    // (the toolbar's bookmarks) and its "Mobile" folder.
    static constexpr int kFavorites = 0;
    static constexpr int kToolbar = 1;
    static constexpr int kMobile = 2;

    struct Folder
    {
        int parent; // -1 for the three top folders
        int depth;  // below the Favorites folder: 0 for it, 1 for Links and Mobile
        QString title;
    };
    struct Link
    {
        int folder;
        QString title;
        QByteArray url;
    };

    BookmarkTree();

    // A folder below parent; the parent itself when it is already as deep as
    // allowed (counted as flattened).
    int addFolder(int parent, const QString &title);
    // Keeps the bookmark when its address is one a favourite can open, else
    // counts it as skipped.
    void addLink(int folder, const QString &title, const QByteArray &url);
    // A separator, query or other entry that is no bookmark of a page.
    void skip() { ++m_skipped; }

    const std::vector<Folder> &folders() const { return m_folders; }
    const std::vector<Link> &links() const { return m_links; }
    std::size_t skipped() const { return m_skipped; }
    std::size_t flattened() const { return m_flattened; }

    // http, https, ftp and file addresses, the ones a favourite may open.
    static bool importableUrl(const QByteArray &url);

private:
    std::vector<Folder> m_folders;
    std::vector<Link> m_links;
    std::size_t m_skipped = 0;
    std::size_t m_flattened = 0;
};

// Bookmark files larger than this are refused rather than read into memory whole.
inline constexpr qint64 kMaxBookmarkFileBytes = 512LL * 1024 * 1024;

// The whole of an exported or browser bookmark file; empty, with error set,
// when it cannot be read or passes kMaxBookmarkFileBytes.
std::optional<QByteArray> readBookmarkFile(const QString &path, QString &error);

} // namespace vistrel::catalogue
