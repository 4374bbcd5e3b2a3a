#include "platform/FolderMonitor.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace vistrel::platform {

namespace {

QString clean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QStringList subfolders(const QString &folder)
{
    QStringList out;
    // Symbolic links are not followed: a link back up the tree would never end.
    const QDir dir(folder);
    const auto names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : names)
        out << folder + QLatin1Char('/') + name;
    return out;
}

bool isFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

} // namespace

FolderMonitor::FolderMonitor(QObject *parent)
    : QObject(parent), m_watcher(new QFileSystemWatcher(this)), m_rootRetry(new QTimer(this))
{
    m_rootRetry->setInterval(kRootRetryMs);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderMonitor::onDirectoryChanged);
    connect(m_rootRetry, &QTimer::timeout, this, &FolderMonitor::retryRoot);
}

FolderMonitor::~FolderMonitor() = default;

void FolderMonitor::setFolder(const QString &folder)
{
    const QString root = folder.isEmpty() ? QString() : clean(folder);
    if (root == m_root)
        return;
    unwatchAll();
    m_root = root;
    if (m_active)
        start();
}

void FolderMonitor::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        start();
    else
        unwatchAll();
}

QStringList FolderMonitor::watchedFolders() const
{
    QStringList out(m_watched.begin(), m_watched.end());
    out.sort();
    return out;
}

void FolderMonitor::start()
{
    unwatchAll();
    if (m_root.isEmpty())
        return;
    if (!isFolder(m_root)) {
        m_rootRetry->start();
        return;
    }
    watchTree(m_root, 0);
}

void FolderMonitor::watchTree(const QString &folder, int depth)
{
    if (depth > kMaxDepth)
        return;
    if (!m_watched.contains(folder)) {
        // Fails when the folder vanished meanwhile or the system ran out of
        // watches; either way there is nothing to track for it.
        if (!m_watcher->addPath(folder))
            return;
        m_watched.insert(folder);
    }
    for (const QString &child : subfolders(folder))
        if (!m_watched.contains(child))
            watchTree(child, depth + 1);
}

void FolderMonitor::unwatchTree(const QString &folder)
{
    const QString prefix = folder + QLatin1Char('/');
    QStringList gone;
    for (const QString &path : std::as_const(m_watched))
        if (path == folder || path.startsWith(prefix))
            gone << path;
    for (const QString &path : gone) {
        m_watched.remove(path);
        m_watcher->removePath(path);
    }
}

void FolderMonitor::unwatchAll()
{
    m_rootRetry->stop();
    const QStringList all(m_watched.begin(), m_watched.end());
    m_watched.clear();
    if (!all.isEmpty())
        m_watcher->removePaths(all);
}

int FolderMonitor::depthOf(const QString &folder) const
{
    if (folder == m_root)
        return 0;
    return int(folder.mid(m_root.size()).count(QLatin1Char('/')));
}

void FolderMonitor::onDirectoryChanged(const QString &path)
{
    if (!m_active)
        return;
    if (path == m_root && !isFolder(m_root)) {
        unwatchAll();
        m_rootRetry->start();
    } else if (!isFolder(path)) {
        unwatchTree(path);
    } else if (m_watched.contains(path)) {
        // Only this folder's own entries can have changed: bring its direct
        // subfolders in step (new ones with their whole subtree).
        const QStringList children = subfolders(path);
        const QSet<QString> now(children.begin(), children.end());
        const QString prefix = path + QLatin1Char('/');
        QStringList gone;
        for (const QString &watched : std::as_const(m_watched))
            if (watched.startsWith(prefix) && watched.indexOf(QLatin1Char('/'), prefix.size()) < 0
                && !now.contains(watched))
                gone << watched;
        for (const QString &folder : gone)
            unwatchTree(folder);
        const int depth = depthOf(path) + 1;
        for (const QString &child : children)
            if (!m_watched.contains(child))
                watchTree(child, depth);
    }
    emit changed();
}

void FolderMonitor::retryRoot()
{
    if (!m_active || !isFolder(m_root))
        return;
    m_rootRetry->stop();
    watchTree(m_root, 0);
    emit changed();
}

} // namespace vistrel::platform
