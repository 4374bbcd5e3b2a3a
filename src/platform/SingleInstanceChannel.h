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

    // How long one question waits to connect and for its answer; a first copy
    // that is busy or shutting down must not make the second one hang.
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kAnswerTimeoutMs = 3000;
    // Between two attempts to reach a copy that has not begun to listen yet.
    static constexpr int kRetryPauseMs = 100;

    explicit SingleInstanceChannel(QString name = defaultName(), QObject *parent = nullptr);
    ~SingleInstanceChannel() override;

    // A socket in the runtime folder, named after the user.
    static QString defaultName();

    // Asks a running copy, trying again until `patienceMs` has passed. None
    // when no copy answered in that time.
    Other askOther(int patienceMs = 0) const;

    // Starts answering other copies at once; until setWindow() they are told
    // the window is minimised. `removeStaleName`: only for the holder of the
    // instance lock, which knows that whatever socket is there is a dead copy's.
    bool listen(bool removeStaleName);

    // `isMinimised` tells whether the window is hidden in the tray; `raise`
    // brings it forward when it is not.
    void setWindow(std::function<bool()> isMinimised, std::function<void()> raise);

private:
    Other askOnce() const;

    QString m_name;
    QLocalServer *m_server = nullptr;
    std::function<bool()> m_isMinimised;
    std::function<void()> m_raise;
};

} // namespace vistrel::platform
