#include "server/http/THttpConnection.h"

#include "server/http/HttpAnswers.h"
#include "server/http/HttpConnectionOwner.h"
#include "server/http/HttpLimits.h"
#include "server/http/THttpHandler.h"

#include <QBuffer>
#include <QLoggingCategory>
#include <QTcpSocket>

#include <chrono>
#include <exception>

Q_LOGGING_CATEGORY(lcHttp, "vistrel.http", QtWarningMsg)

namespace vistrel::server {

namespace {

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Whether the header of a handler's own answer gives its length, so that the
// connection may be kept open behind it.
bool declaresLength(const QByteArray &answer)
{
    const QByteArrayView start = QByteArrayView(answer).first(std::min(answer.size(), limits::kAnswerHeaderScan));
    qsizetype end = start.indexOf("\r\n\r\n");
    if (end < 0)
        end = start.indexOf("\n\n");
    if (end < 0)
        return false;
    HttpHeaders header;
    qsizetype pos = start.indexOf('\n') + 1; // past the status line
    while (pos > 0 && pos < end) {
        qsizetype lineEnd = start.indexOf('\n', pos);
        if (lineEnd < 0 || lineEnd > end)
            lineEnd = end;
        header.append(start.sliced(pos, lineEnd - pos).trimmed().toByteArray());
        pos = lineEnd + 1;
    }
    return !header.value("content-length").trimmed().isEmpty();
}

struct BusyScope
{
    int &depth;
    explicit BusyScope(int &d) : depth(++d) {}
    ~BusyScope() { --depth; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
};

} // namespace

THttpConnection::THttpConnection(QObject *parent)
    : QObject(parent)
{
}

THttpConnection::~THttpConnection()
{
    if (m_socket)
        disconnect(m_socket, nullptr, this, nullptr);
}

template <class F> void THttpConnection::guarded(F &&step)
{
    // A fault in a handler or in the engine ends this connection only.
    const BusyScope busy(m_busy);
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

THttpHandler *THttpConnection::handler() const
{
    return m_owner ? m_owner->handler() : nullptr;
}

void THttpConnection::attach(HttpConnectionOwner &owner, QTcpSocket *socket,
                             std::shared_ptr<httppath::DocumentRoot> root, QByteArray defaultDoc)
{
    m_owner = &owner;
    m_socket = socket;
    m_sender.emplace(*socket);
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

// ---- input ---------------------------------------------------------------

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
    m_inInput = true;
    struct Reset
    {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_inInput};

    for (bool goOn = true; goOn;) {
        switch (m_state) {
        case State::ReadingRequest: goOn = readRequest(); break;
        case State::ReceivingBody: goOn = takeBody(); break;
        case State::DiscardingBody:
            if (const qint64 n = m_socket->skip(std::min(m_socket->bytesAvailable(), m_bodyRemaining)); n > 0)
                m_bodyRemaining -= n;
            goOn = m_bodyRemaining == 0;
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

bool THttpConnection::readRequest()
{
    if (m_parser.state() == HttpRequestParser::State::Complete)
        m_parser.reset();
    const qint64 available = m_socket->bytesAvailable();
    if (available <= 0)
        return false;
    const QByteArray chunk = m_socket->peek(std::min<qint64>(available, limits::kParseChunk));
    qsizetype consumed = 0;
    const HttpRequestParser::Status status = m_parser.feed(chunk, &consumed);
    m_socket->skip(consumed);
    if (m_parser.inRequest() && m_headerStart < 0)
        m_headerStart = nowMs();
    if (status == HttpRequestParser::Status::Failed) {
        refuse(m_parser.failureStatus(), m_parser.failureReason());
        return false;
    }
    if (status == HttpRequestParser::Status::HeaderComplete)
        handleRequest();
    return true;
}

bool THttpConnection::takeBody()
{
    // Called once even for an empty body; else only when bytes have arrived.
    if (m_bodyRemaining > 0 && m_socket->bytesAvailable() == 0)
        return false;
    const qint64 before = m_bodyRemaining;
    THttpHandler *h = handler();
    THttpAnswer answer = h ? h->OnPostedData(*this) : THttpAnswer::none();
    if (m_state != State::ReceivingBody)
        return true; // answered or closed meanwhile
    if (answer.kind() == THttpAnswer::Kind::TakeBody) {
        if (m_bodyRemaining > 0)
            return m_bodyRemaining != before; // else the handler takes the bytes at the next arrival
        answer = THttpAnswer::none();
    }
    give(answer, false);
    return true;
}

qint64 THttpConnection::Receive(char *buffer, qint64 size)
{
    if (m_state != State::ReceivingBody)
        return 0;
    size = std::min(size, m_bodyRemaining);
    if (size <= 0)
        return 0;
    const qint64 n = m_socket->read(buffer, size);
    if (n > 0)
        m_bodyRemaining -= n;
    return n;
}

// ---- requests ------------------------------------------------------------

void THttpConnection::handleRequest()
{
    const HttpRequest &r = req();
    m_headerStart = -1;
    m_bodyRemaining = r.ContentLength;
    m_closeAfterSend = false;
    m_document.clear();

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

    const httppath::Mapping mapping = httppath::mapPath(r.Path, m_root->path());
    m_document = mapping.Document;
    THttpAnswer proposed = THttpAnswer::forbidden();
    if (!mapping.OutsideRoot && post) {
        m_document = httppath::applyDefaultDocument(m_document, m_defaultDoc);
        proposed = THttpAnswer::notFound();
    } else if (!mapping.OutsideRoot) {
        m_file.open(m_document, *m_root, m_defaultDoc);
        m_document = m_file.path();
        proposed = THttpAnswer::document();
    }
    if (h) {
        proposed = get    ? h->OnGetDocument(*this, std::move(proposed))
                   : head ? h->OnHeadDocument(*this, std::move(proposed))
                          : h->OnPostDocument(*this, std::move(proposed));
    }
    if (m_state == State::ReadingRequest) {
        if (post && proposed.kind() == THttpAnswer::Kind::TakeBody)
            m_state = State::ReceivingBody;
        else
            give(proposed, head);
    }
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
}

// ---- answers -------------------------------------------------------------

void THttpConnection::sendDocument(bool withBody)
{
    if (!m_file.isRegular()) {
        // Neither a folder nor a device is a document.
        if (m_file.escaped())
            sendBuiltIn(answers::forbidden(Version(), Path()));
        else
            sendBuiltIn(answers::notFound(Version(), Path()));
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
    m_closeAfterSend = thenClose || !declaresLength(answer);
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
    m_headerStart = -1;
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
    m_state = m_bodyRemaining > 0 ? State::DiscardingBody : State::ReadingRequest;
    if (!m_inInput && m_socket->bytesAvailable() > 0)
        scheduleInput();
}

// ---- sending -------------------------------------------------------------

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
    else if (m_state == State::Closing && m_sender->flush())
        shutdownSend();
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

// ---- closing -------------------------------------------------------------

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
    if (m_sender->canCloseAtOnce(m_bodyRemaining > 0))
        Abort();
    else
        beginClosing();
}

void THttpConnection::beginClosing()
{
    if (m_state >= State::Closing)
        return;
    m_state = State::Closing;
    m_bodyRemaining = 0;
    m_drainDeadline = 0;
    if (m_sender->flush())
        shutdownSend();
}

void THttpConnection::shutdownSend()
{
    m_state = State::Draining;
    m_drainDeadline = nowMs() + limits::kCloseDrainTimeoutMs;
    m_sender->shutdownSend();
    drain();
}

void THttpConnection::drain()
{
    if (m_sender->drain() > limits::kCloseDrainMaxBytes)
        Abort();
}

void THttpConnection::Abort()
{
    if (m_state == State::Closed)
        return;
    if (m_sender)
        m_sender->drop();
    if (m_socket)
        m_socket->abort();
    reportClosed(0);
}

void THttpConnection::reportClosed(int error)
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    // The file goes now, not when the object is finally released.
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
        // Still flushing, the answer has the idle time to go on moving.
        if (m_drainDeadline > 0 ? now >= m_drainDeadline : now - m_lastActivity >= idleMs)
            Abort();
        return;
    case State::AwaitingAnswer:
        // The idle time starts with the answer, not while the program works on it.
        m_lastActivity = now;
        return;
    default: break;
    }
    if (m_headerStart >= 0 && now - m_headerStart >= headerMs) {
        guarded([this] { refuse(408, "The request header did not arrive in time."); });
        return;
    }
    if (now - m_lastActivity >= idleMs)
        Abort();
}

} // namespace vistrel::server
