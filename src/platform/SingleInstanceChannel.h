#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace vistrel::platform {

// Finds another running copy of the program for this user. The first copy
// listens on a local socket; a second copy asks it whether its window is
// minimised, and the first raises itself when it is not.
class SingleInstanceChannel : public QObject
{
    Q_OBJECT
public:
    enum class Other { None, Minimised, Raised };

    // How long a second copy waits for an answer; a first copy that is busy
    // shutting down must not make the second one hang.
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kAnswerTimeoutMs = 3000;

    explicit SingleInstanceChannel(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstanceChannel() override;

    static QString defaultName();

    // Asks a running copy. None when no copy answers.
    Other askOther() const;

    // Starts answering other copies. `isMinimised` tells whether the window is
    // hidden in the tray; `raise` brings it forward when it is not.
    bool listen(std::function<bool()> isMinimised, std::function<void()> raise);

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
    std::function<bool()> m_isMinimised;
    std::function<void()> m_raise;
};

} // namespace vistrel::platform
