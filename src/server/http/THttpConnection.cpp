#include "server/http/THttpConnection.h"

#include "server/http/HttpAnswers.h"
#include "server/http/HttpLimits.h"
#include "server/http/THttpHandler.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <QTcpSocket>

#include <exception>

Q_LOGGING_CATEGORY(lcHttp, "vistrel.http", QtWarningMsg)

namespace vistrel::server {

namespace {
qint64 nowMs() { return QDeadlineTimer::current().deadline(); }
} // namespace

THttpConnection::~THttpConnection()
{
    if (m_socket)
        disconnect(m_socket, nullptr, this, nullptr);
}

template <class F> void THttpConnection::guarded(F &&step)
{
    // A fault in a handler or in the engine ends this connection only.
    const QScopedValueRollback busy(m_busy, m_busy + 1);
    try {
        step();
    } catch (const std::exception &e) {
        qCWarning(lcHttp) << objectName() << "aborted:" << e.what();
        Abort();
    } catch (...) {
        qCWarning(lcHttp) << objectName() << "aborted by an unknown error";
        Abort();
    }
}

void THttpConnection::attach(HttpConnectionOwner &owner, QTcpSocket *socket,
                             std::shared_ptr<httppath::DocumentRoot> root, QByteArray defaultDoc)
{
    m_owner = &owner;
    m_socket = socket;
    m_sender.emplace(*socket);
    m_receiver.attach(*socket);
    m_root = std::move(root);
    m_defaultDoc = std::move(defaultDoc);
    socket->setParent(this);
    socket->setReadBufferSize(limits::kSocketReadBuffer);
    m_peerAddr = socket->peerAddress().toString();
    m_peerPort = socket->peerPort();
    m_lastActivity = nowMs();
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        m_lastActivity = nowMs();
        guarded([this] { processInput(); });
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { guarded([this] { onBytesWritten(); }); });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        // A client that closes is no error; anything else reports the socket's.
        const QAbstractSocket::SocketError error = m_socket->error();
        const bool clean = error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::UnknownSocketError;
        reportClosed(clean ? 0 : int(error));
    });
}

void THttpConnection::scheduleInput()
{
    if (m_inputScheduled || m_state == State::Closed)
        return;
    m_inputScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_inputScheduled = false;
            guarded([this] { processInput(); });
        },
        Qt::QueuedConnection);
}

void THttpConnection::processInput()
{
    if (m_inInput || !m_socket)
        return;
    const QScopedValueRollback inInput(m_inInput, true);

    for (bool goOn = true; goOn;) {
        switch (m_state) {
        case State::ReadingRequest:
            switch (m_receiver.readHeader(nowMs())) {
            case HttpReceiver::Header::NeedMore: goOn = false; break;
            case HttpReceiver::Header::Complete: handleRequest(); break;
            case HttpReceiver::Header::Failed:
                refuse(m_receiver.parser().failureStatus(), m_receiver.parser().failureReason());
                break;
            }
            break;
        case State::ReceivingBody: goOn = takeBody(); break;
        case State::DiscardingBody:
            goOn = m_receiver.discardBody();
            if (goOn)
                m_state = State::ReadingRequest;
            break;
        case State::Closing:
        case State::Draining: drain(); goOn = false; break;
        // What a client sends meanwhile waits in the socket's bounded buffer.
        case State::AwaitingAnswer:
        case State::Sending:
        case State::Closed: goOn = false; break;
        }
    }
}

bool THttpConnection::takeBody()
{
    // Called once even for an empty body; else only when bytes have arrived.
    const qint64 before = m_receiver.bodyRemaining();
    if (before > 0 && !m_receiver.bodyWaiting())
        return false;
    THttpHandler *h = handler();
    THttpAnswer answer = h ? h->OnPostedData(*this) : THttpAnswer::none();
    if (m_state != State::ReceivingBody)
        return true; // answered or closed meanwhile
    if (answer.kind() == THttpAnswer::Kind::TakeBody) {
        if (m_receiver.bodyRemaining() > 0)
            return m_receiver.bodyRemaining() != before; // else the handler takes the bytes at the next arrival
        answer = THttpAnswer::none();
    }
    give(answer, false);
    return true;
}

void THttpConnection::handleRequest()
{
    const HttpRequest &r = req();
    m_receiver.expectBody(r.ContentLength);
    m_closeAfterSend = false;
    m_file.forget();

    if (r.HasTransferEncoding) {
        refuse(501, "Transfer-Encoding is not supported.");
        return;
    }
    THttpHandler *h = handler();
    if (h) {
        h->OnBeforeProcessRequest(*this);
        if (m_state != State::ReadingRequest)
            return;
    }
    const bool get = r.Method == "GET";
    const bool head = r.Method == "HEAD";
    const bool post = r.Method == "POST";
    if (!get && !head && !post) {
        sendBuiltIn(answers::unimplemented(r.Version));
        return;
    }

    THttpAnswer proposed = m_file.route(r.Path, post, *m_root, m_defaultDoc);
    if (h) {
        proposed = get    ? h->OnGetDocument(*this, std::move(proposed))
                   : head ? h->OnHeadDocument(*this, std::move(proposed))
                          : h->OnPostDocument(*this, std::move(proposed));
    }
    if (m_state != State::ReadingRequest)
        return;
    if (post && proposed.kind() == THttpAnswer::Kind::TakeBody)
        m_state = State::ReceivingBody;
    else
        give(proposed, head);
    // Kept only for a document answer that comes later.
    if (m_state != State::AwaitingAnswer)
        m_file.close();
}

void THttpConnection::give(const THttpAnswer &answer, bool head)
{
    using Kind = THttpAnswer::Kind;
    switch (answer.kind()) {
    case Kind::Document:
        if (Method() == "POST")
            closeUnlessKeepAlive();
        else
            sendDocument(!head);
        break;
    case Kind::Bytes: sendBytes(answer.text(), answer.thenClose()); break;
    case Kind::NotFound: sendBuiltIn(answers::notFound(Version(), Path())); break;
    case Kind::Forbidden: sendBuiltIn(answers::forbidden(Version(), Path())); break;
    case Kind::Refused: refuse(answer.status(), answer.text()); break;
    case Kind::Pending: m_state = State::AwaitingAnswer; break;
    case Kind::TakeBody:
    case Kind::None: closeUnlessKeepAlive(); break;
    }
}

void THttpConnection::Answer(const THttpAnswer &answer)
{
    if (m_state != State::AwaitingAnswer && m_state != State::ReceivingBody)
        return;
    guarded([&] { give(answer, Method() == "HEAD"); });
    m_file.close();
}

void THttpConnection::sendDocument(bool withBody)
{
    // Neither a folder nor a device is a document.
    if (!m_file.isRegular()) {
        sendBuiltIn(m_file.escaped() ? answers::forbidden(Version(), Path()) : answers::notFound(Version(), Path()));
        return;
    }
    HttpDocumentFile::Answer a = m_file.answer(Version(), req().Ranges, KeepAlive(), withBody);
    startSending(std::move(a.Header), std::move(a.Body));
}

void THttpConnection::sendBytes(const QByteArray &answer, bool thenClose)
{
    auto body = std::make_unique<QBuffer>();
    body->setData(answer);
    body->open(QIODevice::ReadOnly);
    m_closeAfterSend = thenClose;
    startSending({}, std::move(body));
}

void THttpConnection::sendBuiltIn(const answers::BuiltIn &answer)
{
    if (m_state >= State::Closing)
        return;
    m_sender->write(answer.Header);
    if (Method() != "HEAD")
        m_sender->write(answer.Body);
    m_lastActivity = nowMs();
    m_sender->flush();
    closeUnlessKeepAlive();
}

void THttpConnection::refuse(int status, QByteArrayView reason)
{
    if (m_state >= State::Closing)
        return;
    if (m_state == State::Sending) {
        // Only a time-out can refuse while an answer is going out; the client
        // has stopped reading, so there is nothing orderly left to do.
        Abort();
        return;
    }
    const QByteArray version = req().Version.isEmpty() ? QByteArray("HTTP/1.0") : req().Version;
    const answers::BuiltIn a = answers::refused(version, status, reason.toByteArray());
    m_sender->write(a.Header);
    m_sender->write(a.Body);
    m_receiver.stopHeaderClock();
    beginClosing();
}

void THttpConnection::closeUnlessKeepAlive()
{
    if (KeepAlive())
        nextRequest();
    else
        Close();
}

void THttpConnection::nextRequest()
{
    m_state = m_receiver.bodyRemaining() > 0 ? State::DiscardingBody : State::ReadingRequest;
    if (!m_inInput && m_socket->bytesAvailable() > 0)
        scheduleInput();
}

void THttpConnection::startSending(QByteArray header, std::unique_ptr<QIODevice> body)
{
    if (m_state >= State::Closing)
        return;
    m_state = State::Sending;
    m_lastActivity = nowMs();
    progress(m_sender->start(std::move(header), std::move(body), KeepAlive()));
}

void THttpConnection::progress(HttpSender::Progress progress)
{
    switch (progress) {
    case HttpSender::Progress::Busy: break;
    case HttpSender::Progress::Done: finishSending(); break;
    case HttpSender::Progress::Failed:
        qCWarning(lcHttp) << objectName() << "sending failed:" << m_sender->error();
        Abort();
        break;
    }
}

void THttpConnection::onBytesWritten()
{
    m_lastActivity = nowMs();
    if (m_state == State::Sending)
        progress(m_sender->resume());
    else if (m_state == State::Closing && m_sender->closeSend(nowMs()))
        beginClosing();
}

void THttpConnection::finishSending()
{
    if (THttpHandler *h = handler()) {
        h->OnHttpRequestDone(*this);
        if (m_state != State::Sending)
            return;
    }
    if (m_closeAfterSend || !KeepAlive())
        closeAfterAnswer();
    else
        nextRequest();
}

void THttpConnection::Close()
{
    if (m_state >= State::Closing)
        return;
    if (m_state == State::Sending && m_sender->sending())
        m_closeAfterSend = true;
    else
        beginClosing();
}

void THttpConnection::closeAfterAnswer()
{
    // With the whole request read, nothing more from the client and the
    // answer handed to the kernel, closing the socket at once still delivers
    // the answer and then the FIN, and spares waiting for the client's own
    // close.
    if (m_sender->canCloseAtOnce(m_receiver.bodyRemaining() > 0))
        Abort();
    else
        beginClosing();
}

void THttpConnection::beginClosing()
{
    if (m_state >= State::Draining)
        return;
    m_receiver.forgetBody();
    m_state = m_sender->closeSend(nowMs()) ? State::Draining : State::Closing;
    drain();
}

void THttpConnection::drain()
{
    if (!m_sender->drain())
        Abort();
}

void THttpConnection::Abort()
{
    if (m_state == State::Closed)
        return;
    if (m_socket)
        m_socket->abort();
    reportClosed(0);
}

void THttpConnection::reportClosed(int error)
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    // The files go now, not when the object is finally released.
    m_file.close();
    if (m_sender)
        m_sender->drop();
    if (m_owner)
        m_owner->connectionClosed(*this, error);
}

void THttpConnection::checkTimeouts(qint64 now, int idleMs, int headerMs)
{
    switch (m_state) {
    case State::Closed: return;
    case State::Closing:
    case State::Draining:
        if (m_sender->closeOverdue(now, m_lastActivity, idleMs))
            Abort();
        return;
    case State::AwaitingAnswer:
        // The idle time starts with the answer, not while the program works on it.
        m_lastActivity = now;
        return;
    default: break;
    }
    if (m_receiver.headerLate(now, headerMs)) {
        guarded([this] { refuse(408, "The request header did not arrive in time."); });
        return;
    }
    if (now - m_lastActivity >= idleMs)
        Abort();
}

} // namespace vistrel::server
