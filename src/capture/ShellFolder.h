#pragma once

#include "capture/BlankTest.h"
#include "capture/HResult.h"
#include "capture/ThumbnailSource.h"

#include <QSize>
#include <QString>

#include <memory>

namespace vistrel::capture {

inline constexpr std::uint32_t IEIFLAG_ASYNC = 0x0001;
inline constexpr std::uint32_t IEIFLAG_ORIGSIZE = 0x0040;

// An item the shell has named: a folder or a file, by its path.
struct ShellItem
{
    QString path;
};

// The page-thumbnail extractor of one Internet shortcut.
class ExtractImage
{
public:
    ExtractImage(QString shortcutPath, ThumbnailSource &source);

    // Describes the thumbnail to come. Asked to work asynchronously it
    // answers E_PENDING, like every extractor that renders pages.
    HResult getLocation(QString &location, int priority, QSize size, int colourDepth, std::uint32_t flags);
    HResult queryRunnableTask() const { return S_OK; }
    // Renders the page the shortcut names. The request's url is taken from
    // the shortcut; its title, time-out and abandon flag are used as given.
    HResult extract(const ThumbnailRequest &request, Thumbnail &thumbnail);

private:
    QString m_shortcutPath;
    ThumbnailSource &m_source;
};

// A folder of the file system seen as a shell folder.
class ShellFolder
{
public:
    // ParseDisplayName on the desktop: a folder path to an item.
    static HResult parseFolderPath(const QString &path, ShellItem &item);
    // BindToObject: the item as a folder.
    static HResult bindToObject(const ShellItem &item, std::unique_ptr<ShellFolder> &folder);

    // ParseDisplayName in this folder: a file name to an item.
    HResult parseDisplayName(const QString &name, ShellItem &item) const;
    // GetUIObjectOf for IExtractImage: only Internet shortcuts have one.
    HResult getExtractImage(const ShellItem &item, ThumbnailSource &source, std::unique_ptr<ExtractImage> &extractor) const;

    const QString &path() const { return m_path; }

private:
    explicit ShellFolder(QString path) : m_path(std::move(path)) {}
    QString m_path; // with a trailing "/"
};

} // namespace vistrel::capture
