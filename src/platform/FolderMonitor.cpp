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

// The folder's real path, links resolved; empty when it is not a folder (now).
QString realFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath() : QString();
}

// Real paths of the folders directly below, links to folders included, sorted
// so that two listings compare equal when nothing moved.
QStringList subfolders(const QString &folder)
{
    QStringList out;
    const QDir dir(folder);
    const auto names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names) {
        const QString real = realFolder(folder + QLatin1Char('/') + name);
        if (!real.isEmpty())
            out << real;
    }
    out.sort();
    out.removeDuplicates();
    return out;
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
    QStringList out = m_watched.keys();
    out.sort();
    return out;
}

void FolderMonitor::start()
{
    unwatchAll();
    if (!m_root.isEmpty())
        resync();
}

void FolderMonitor::resync()
{
    const QString root = realFolder(m_root);
    if (root.isEmpty()) {
        unwatchAll();
        m_rootRetry->start();
        return;
    }
    m_rootRetry->stop();
    QHash<QString, QStringList> reached;
    reach(root, 0, reached);
    QStringList gone;
    for (auto it = m_watched.cbegin(); it != m_watched.cend(); ++it)
        if (!reached.contains(it.key()))
            gone << it.key();
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    m_watched = std::move(reached);
}

void FolderMonitor::reach(const QString &folder, int depth, QHash<QString, QStringList> &reached)
{
    // A real folder met again (a second link, or a link back up the tree) is
    // already in hand.
    if (depth > kMaxDepth || reached.contains(folder))
        return;
    // Fails when the folder vanished meanwhile or the system ran out of
    // watches; either way there is nothing to track below it.
    if (!m_watched.contains(folder) && !m_watcher->addPath(folder))
        return;
    const QStringList children = subfolders(folder);
    reached.insert(folder, children);
    for (const QString &child : children)
        reach(child, depth + 1, reached);
}

void FolderMonitor::unwatchAll()
{
    m_rootRetry->stop();
    const QStringList all = m_watched.keys();
    m_watched.clear();
    if (!all.isEmpty())
        m_watcher->removePaths(all);
}

void FolderMonitor::onDirectoryChanged(const QString &path)
{
    if (!m_active)
        return;
    // Most changes are files coming and going; the tree is walked again only
    // when the folders themselves changed.
    const auto known = m_watched.constFind(path);
    if (known == m_watched.cend() || realFolder(path) != path || subfolders(path) != *known)
        resync();
    emit changed();
}

void FolderMonitor::retryRoot()
{
    if (!m_active || realFolder(m_root).isEmpty())
        return;
    resync();
    emit changed();
}

} // namespace vistrel::platform
