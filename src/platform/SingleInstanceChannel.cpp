#include "platform/SingleInstanceChannel.h"

#include "platform/InstanceLock.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace vistrel::platform {

namespace {
const QByteArray kQuestion = "minimised?\n";
}

SingleInstanceChannel::SingleInstanceChannel(QString name, QObject *parent) : QObject(parent), m_name(std::move(name)) {}

SingleInstanceChannel::~SingleInstanceChannel() = default;

QString SingleInstanceChannel::defaultName()
{
    return runtimeFolder() + QStringLiteral("/Vistre%1").arg(::getuid());
}

SingleInstanceChannel::Other SingleInstanceChannel::askOnce() const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return Other::None;
    socket.write(kQuestion);
    if (!socket.waitForBytesWritten(kAnswerTimeoutMs))
        return Other::None;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(kAnswerTimeoutMs))
            return Other::None; // the other copy is going away
        answer += socket.readAll();
    }
    return answer.startsWith('1') ? Other::Minimised : Other::Raised;
}

SingleInstanceChannel::Other SingleInstanceChannel::askOther(int patienceMs) const
{
    const QDeadlineTimer deadline(patienceMs);
    for (;;) {
        const Other answer = askOnce();
        if (answer != Other::None || deadline.hasExpired())
            return answer;
        QThread::msleep(kRetryPauseMs);
    }
}

bool SingleInstanceChannel::listen(bool removeStaleName)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        if (!removeStaleName)
            return false;
        // A copy that crashed leaves its socket file behind.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, client, [this, client] {
                if (!client->canReadLine())
                    return;
                client->readAll();
                const bool minimised = m_isMinimised ? m_isMinimised() : true;
                client->write(minimised ? "1\n" : "0\n");
                client->flush();
                if (!minimised && m_raise)
                    m_raise();
            });
        }
    });
    return true;
}

void SingleInstanceChannel::setWindow(std::function<bool()> isMinimised, std::function<void()> raise)
{
    m_isMinimised = std::move(isMinimised);
    m_raise = std::move(raise);
}

} // namespace vistrel::platform
