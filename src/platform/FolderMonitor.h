#pragma once

#include <QObject>
#include <QHash>
#include <QStringList>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace vistrel::platform {

// Watches a folder and every folder below it for names that come and go (files
// and folders created, deleted or renamed). Each notification from the system
// becomes one changed() signal on the thread that owns the monitor. Symbolic
// links to folders are followed as the favourites walk follows them: each real
// folder is watched once, under its real path, and loops end. The set of
// watched folders follows the tree as folders appear and disappear.
class FolderMonitor : public QObject
{
    Q_OBJECT
public:
    // While the root itself is missing, it is looked for again at this pace.
    static constexpr int kRootRetryMs = 30000;
    // Deeper trees than this are not followed (a guard against loops the
    // file system might still present, e.g. bind mounts).
    static constexpr int kMaxDepth = 64;

    explicit FolderMonitor(QObject *parent = nullptr);
    ~FolderMonitor() override;

    void setFolder(const QString &folder);
    QString folder() const { return m_root; }
    void setActive(bool active);
    bool isActive() const { return m_active; }

    // The folders being watched right now.
    QStringList watchedFolders() const;

signals:
    void changed();

private:
    void onDirectoryChanged(const QString &path);
    void retryRoot();
    // Brings the watches in line with the folders reachable from the root now.
    void resync();
    void reach(const QString &folder, int depth, QHash<QString, QStringList> &reached);
    void unwatchAll();
    void start();

    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_rootRetry = nullptr;
    QString m_root;
    // Each watched folder (real path) with its subfolders (real paths) as last seen.
    QHash<QString, QStringList> m_watched;
    bool m_active = false;
};

} // namespace vistrel::platform
