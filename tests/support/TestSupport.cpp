#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <optional>
#include <stdexcept>
#include <vector>

namespace vistrel::test {

namespace {
const char *const kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                  "XDG_DOCUMENTS_DIR", "TMPDIR", "XDG_RUNTIME_DIR"};
}

struct TempHome::Saved
{
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> values;
};

TempHome::TempHome() : m_saved(std::make_unique<Saved>())
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary HOME");
    for (const char *name : kVariables) {
        std::optional<QByteArray> old;
        if (qEnvironmentVariableIsSet(name))
            old = qgetenv(name);
        m_saved->values.emplace_back(name, old);
    }
    QDir home(m_dir.path());
    home.mkpath(".config");
    home.mkpath(".local/share");
    home.mkpath(".cache");
    home.mkpath("Documents");
    home.mkpath("tmp");
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(".local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath(".cache").toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", home.filePath("Documents").toUtf8());
    qputenv("TMPDIR", home.filePath("tmp").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.filePath("tmp").toUtf8());
    QStandardPaths::setTestModeEnabled(false);
}

QProcessEnvironment TempHome::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", path());
    env.insert("XDG_CONFIG_HOME", file(".config"));
    env.insert("XDG_DOCUMENTS_DIR", file("Documents"));
    env.insert("TMPDIR", file("tmp"));
    env.insert("XDG_RUNTIME_DIR", file("tmp"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

TempHome::~TempHome()
{
    for (const auto &[name, value] : m_saved->values) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(bytes);
}

bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void spinFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    spinUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
}

} // namespace vistrel::test
