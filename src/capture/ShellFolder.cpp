#include "capture/ShellFolder.h"

#include "capture/IniFile.h"

#include <QFileInfo>

namespace vistrel::capture {

ExtractImage::ExtractImage(QString shortcutPath, ThumbnailSource &source)
    : m_shortcutPath(std::move(shortcutPath)), m_source(source)
{
}

HResult ExtractImage::getLocation(QString &location, int, QSize, int, std::uint32_t flags)
{
    location = m_shortcutPath;
    return (flags & IEIFLAG_ASYNC) ? E_PENDING : S_OK;
}

HResult ExtractImage::extract(const ThumbnailRequest &request, Thumbnail &thumbnail)
{
    const auto file = IniFile::load(m_shortcutPath);
    if (!file)
        return E_FAIL;
    ThumbnailRequest page = request;
    page.url = file->value("InternetShortcut", "URL").value_or(std::string());
    const auto image = m_source.render(page);
    if (!image || image->isNull())
        return E_FAIL;
    thumbnail.image = *image;
    thumbnail.deviceDependent = false;
    return S_OK;
}

HResult ShellFolder::parseFolderPath(const QString &path, ShellItem &item)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return E_FILE_NOT_FOUND;
    item.path = info.absoluteFilePath();
    return S_OK;
}

HResult ShellFolder::bindToObject(const ShellItem &item, std::unique_ptr<ShellFolder> &folder)
{
    if (!QFileInfo(item.path).isDir())
        return E_INVALIDARG;
    QString path = item.path;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    folder.reset(new ShellFolder(path));
    return S_OK;
}

HResult ShellFolder::parseDisplayName(const QString &name, ShellItem &item) const
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || !QFileInfo::exists(m_path + name))
        return E_FILE_NOT_FOUND;
    item.path = m_path + name;
    return S_OK;
}

HResult ShellFolder::getExtractImage(const ShellItem &item, ThumbnailSource &source,
                                     std::unique_ptr<ExtractImage> &extractor) const
{
    if (!item.path.endsWith(QStringLiteral(".url"), Qt::CaseInsensitive) || !QFileInfo(item.path).isFile())
        return E_NOINTERFACE;
    extractor = std::make_unique<ExtractImage>(item.path, source);
    return S_OK;
}

} // namespace vistrel::capture
