#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace vistrel::test {

// A private HOME with the XDG folders inside it, restored when the object goes.
// Tests never touch the real home folder.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }
    // For the real program started from a test: this home, its folders and no display.
    QProcessEnvironment programEnvironment() const;

private:
    QTemporaryDir m_dir;
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

// Lets the event loop run (so a server or timer in this thread works) until
// `done` holds or `timeoutMs` passes; returns whether it held.
bool spinUntil(const std::function<bool()> &done, int timeoutMs = 5000);
void spinFor(int ms);

QByteArray readAll(const QString &path);
void writeAll(const QString &path, const QByteArray &bytes);

} // namespace vistrel::test
