#pragma once

#include "server/http/HttpConnectionOwner.h"
#include "server/http/HttpDocumentFile.h"
#include "server/http/HttpPath.h"
#include "server/http/HttpReceiver.h"
#include "server/http/HttpSender.h"
#include "server/http/THttpAnswer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QTcpSocket;

namespace vistrel::server {

class THttpHandler;
namespace answers {
struct BuiltIn;
}

// One client of THttpServer: feeds the request parser from its socket, maps
// the request onto the document folder, asks the handler for the answer and
// gives it. The program may derive its own class from it and hand the server
// a factory for it.
class THttpConnection : public QObject
{
    Q_OBJECT
public:
    // Where the connection is in its life; one answer at a time.
    enum class State {
        ReadingRequest, // the request line and header lines
        ReceivingBody,  // an accepted POST's body goes to the handler
        AwaitingAnswer, // the handler answers later, however long that takes
        Sending,        // an answer is going out
        DiscardingBody, // the rest of a body nobody took is read and dropped
        Closing,        // what is queued goes out, then the sending side shuts
        Draining,       // sending side shut: dropping input until the client closes
        Closed,
    };

    explicit THttpConnection(QObject *parent = nullptr) : QObject(parent) {}
    ~THttpConnection() override;

    // The request as received.
    const QByteArray &Method() const { return req().Method; }
    const QByteArray &Path() const { return req().Path; }
    const QByteArray &Params() const { return req().Params; }
    const QByteArray &Version() const { return req().Version; }
    const HttpHeaders &Headers() const { return req().Headers; }
    const QList<QByteArray> &HeaderLines() const { return req().Headers.lines(); }
    qint64 RequestContentLength() const { return req().ContentLength; }
    bool KeepAlive() const { return req().KeepAlive; }
    // The file path the request maps to.
    const QByteArray &Document() const { return m_file.path(); }

    const QString &PeerAddr() const { return m_peerAddr; }
    quint16 PeerPort() const { return m_peerPort; }
    State state() const { return m_state; }

    // Reads up to `size` bytes of an accepted POST's body, never beyond it.
    // Returns the count, 0 or less when nothing is available.
    qint64 Receive(char *buffer, qint64 size)
    {
        return m_state == State::ReceivingBody ? m_receiver.readBody(buffer, size) : 0;
    }
    // Gives the answer a handler promised with THttpAnswer::pending().
    void Answer(const THttpAnswer &answer);
    // Closes once the answer being sent has gone; Abort() drops it at once.
    void Close();
    void Abort();

    // The server's side.
    void attach(HttpConnectionOwner &owner, QTcpSocket *socket, std::shared_ptr<httppath::DocumentRoot> root,
                QByteArray defaultDoc);
    void checkTimeouts(qint64 now, int idleMs, int headerMs);
    // This connection's own code is on the stack: release it later.
    bool isBusy() const { return m_busy > 0; }
    // Input that arrived before the server was ready for it.
    void scheduleInput();

private:
    const HttpRequest &req() const { return m_receiver.request(); }
    THttpHandler *handler() const { return m_owner ? m_owner->handler() : nullptr; }

    void processInput();
    bool takeBody();
    void handleRequest();
    void give(const THttpAnswer &answer, bool head);
    void sendDocument(bool withBody);
    void sendBytes(const QByteArray &answer, bool thenClose);
    void sendBuiltIn(const answers::BuiltIn &answer);
    void refuse(int status, QByteArrayView reason);
    void startSending(QByteArray header, std::unique_ptr<QIODevice> body);
    void progress(HttpSender::Progress progress);
    void finishSending();
    void closeUnlessKeepAlive();
    void nextRequest();
    void closeAfterAnswer();
    void beginClosing();
    void drain();
    void onBytesWritten();
    void reportClosed(int error);
    template <class F> void guarded(F &&step);

    HttpConnectionOwner *m_owner = nullptr;
    QTcpSocket *m_socket = nullptr;
    std::optional<HttpSender> m_sender;
    std::shared_ptr<httppath::DocumentRoot> m_root;
    QByteArray m_defaultDoc;
    QString m_peerAddr;
    quint16 m_peerPort = 0;

    State m_state = State::ReadingRequest;
    HttpReceiver m_receiver;
    HttpDocumentFile m_file;
    // The answer being sent cannot be followed by another on this connection.
    bool m_closeAfterSend = false;

    // Depth of this connection's own code on the stack, and of its input
    // loop: the loop is not entered twice, and the object outlives both.
    int m_busy = 0;
    bool m_inInput = false;
    bool m_inputScheduled = false;

    qint64 m_lastActivity = 0;
};

} // namespace vistrel::server
