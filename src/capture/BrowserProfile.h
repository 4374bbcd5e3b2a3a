#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <memory>

class QTemporaryDir;

namespace vistrel::platform {
class PrivateTempFolder;
}

namespace vistrel::capture {

// A throwaway home for one browser process: a fresh profile folder in the
// private temporary folder, which is also the browser's HOME, XDG folders and
// TMPDIR, so nothing of it lands anywhere else. Removed with everything in it
// when the object goes.
class BrowserProfile
{
public:
    // The browser's single-instance socket goes in TMPDIR under a name of this
    // length; a Unix socket path holds at most 107 bytes, and a longer one makes
    // the browser abort before it draws anything.
    static constexpr qsizetype kSingletonSocketName =
        qsizetype(sizeof("org.chromium.Chromium.XXXXXX/SingletonSocket")) - 1;
    static constexpr qsizetype kSocketPathMax = 107;

    explicit BrowserProfile(const platform::PrivateTempFolder &tempFolder);
    ~BrowserProfile();
    BrowserProfile(const BrowserProfile &) = delete;
    BrowserProfile &operator=(const BrowserProfile &) = delete;

    bool isValid() const { return !m_path.isEmpty() && !m_tempPath.isEmpty(); }
    // With a trailing "/".
    const QString &path() const { return m_path; }
    QString userDataDir() const { return m_path + QStringLiteral("profile"); }
    // This program's environment with the browser's home and temporary folder in it.
    QProcessEnvironment environment() const;

private:
    QString m_path;
    // The profile's own folder unless that is too deep for the browser's
    // socket; then a private folder of its own near the root.
    std::unique_ptr<QTemporaryDir> m_shortTemp;
    QString m_tempPath;
};

} // namespace vistrel::capture
