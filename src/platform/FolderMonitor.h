#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace vistrel::platform {

// Watches a folder and every folder below it for names that come and go (files
// and folders created, deleted or renamed). Each notification from the system
// becomes one changed() signal on the thread that owns the monitor. The set of
// watched folders follows the tree as folders appear and disappear, so it never
// holds more watches than the tree has folders.
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
    void watchTree(const QString &folder, int depth);
    void unwatchTree(const QString &folder);
    void unwatchAll();
    void start();
    int depthOf(const QString &folder) const;

    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_rootRetry = nullptr;
    QString m_root;
    QSet<QString> m_watched;
    bool m_active = false;
};

} // namespace vistrel::platform
