#include "server/http/THttpConnection.h"

#include "server/http/HttpAnswers.h"
#include "server/http/HttpDirList.h"
#include "server/http/HttpDocumentStream.h"
#include "server/http/HttpLimits.h"
#include "server/http/HttpPath.h"
#include "server/http/THttpServer.h"

#include <QBuffer>
#include <QFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QTcpSocket>

#include <chrono>
#include <exception>
#include <cerrno>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcHttp, "vistrel.http", QtWarningMsg)

namespace vistrel::server {

namespace {

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Whether the header at the start of a handler's answer gives its length, so
// that the connection may be kept open behind it.
bool declaresLength(QIODevice &stream)
{
    const QByteArray start = stream.peek(limits::kAnswerHeaderScan);
    qsizetype end = start.indexOf("\r\n\r\n");
    if (end < 0)
        end = start.indexOf("\n\n");
    if (end < 0)
        return false;
    const QByteArrayView header(start.constData(), end);
    qsizetype pos = 0;
    while (pos < header.size()) {
        qsizetype lineEnd = header.indexOf('\n', pos);
        if (lineEnd < 0)
            lineEnd = header.size();
        const QByteArrayView line = header.sliced(pos, lineEnd - pos).trimmed();
        if (line.size() > 15 && line.first(15).compare("content-length:", Qt::CaseInsensitive) == 0)
            return true;
        pos = lineEnd + 1;
    }
    return false;
}

} // namespace

void THttpConnection::OpenedFile::reset(int newFd)
{
    if (fd >= 0)
        ::close(fd);
    fd = newFd;
    if (fd < 0)
        escaped = false;
}

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

void THttpConnection::attach(THttpServer *server, QTcpSocket *socket)
{
    m_server = server;
    m_socket = socket;
    socket->setParent(this);
    socket->setReadBufferSize(limits::kSocketReadBuffer);
    m_peerAddr = socket->peerAddress().toString();
    m_peerPort = socket->peerPort();
    m_docDir = QFile::encodeName(server->DocDir());
    m_defaultDoc = QFile::encodeName(server->DefaultDoc());
    m_templateDir = QFile::encodeName(server->TemplateDir());
    m_options = server->Options();
    m_parser.setDefaultPort(server->Port().toUtf8());
    m_lastActivity = nowMs();
    connect(socket, &QTcpSocket::readyRead, this, [this] { guarded([this] { onReadyRead(); }); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { guarded([this] { onBytesWritten(); }); });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        // A client that closes is no error; anything else reports the socket's.
        const QAbstractSocket::SocketError error = m_socket->error();
        const bool clean = error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::UnknownSocketError;
        reportClosed(clean ? 0 : int(error));
    });
}

THttpRequestState THttpConnection::RequestState() const
{
    if (m_bodyMode != BodyMode::None)
        return THttpRequestState::ReceivingPostedData;
    if (m_parser.state() == HttpRequestParser::State::HeaderLines)
        return THttpRequestState::ReadingHeaderLines;
    return THttpRequestState::WaitingRequestLine;
}

// ---- input ---------------------------------------------------------------

void THttpConnection::onReadyRead()
{
    m_lastActivity = nowMs();
    processInput();
}

void THttpConnection::scheduleInput()
{
    if (m_inputScheduled || m_closed)
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

    while (!m_closed) {
        if (m_closing) {
            drainInput();
            return;
        }
        // One answer at a time: what a client sends meanwhile waits in the
        // socket's bounded buffer.
        if (m_sending || m_awaitingAnswer)
            return;

        if (m_bodyMode == BodyMode::Discard) {
            const qint64 n = m_socket->skip(std::min(m_socket->bytesAvailable(), m_bodyRemaining));
            if (n > 0)
                m_bodyRemaining -= n;
            if (m_bodyRemaining > 0)
                return;
            bodyDone();
            continue;
        }
        if (m_bodyMode == BodyMode::Deliver) {
            if (m_bodyRemaining == 0) {
                if (!m_emptyBodyReported) {
                    m_emptyBodyReported = true;
                    raisePostedData();
                    if (m_closed)
                        return;
                }
                if (m_bodyMode == BodyMode::Deliver)
                    bodyDone();
                continue;
            }
            if (m_socket->bytesAvailable() == 0)
                return;
            const qint64 before = m_bodyRemaining;
            if (postedDataWanted()) {
                raisePostedData();
            } else {
                const qint64 n = m_socket->skip(std::min(m_socket->bytesAvailable(), m_bodyRemaining));
                if (n > 0)
                    m_bodyRemaining -= n;
            }
            if (m_closed)
                return;
            if (m_bodyMode != BodyMode::Deliver)
                continue;
            if (m_bodyRemaining == 0) {
                bodyDone();
                continue;
            }
            if (m_bodyRemaining == before)
                return; // the handler takes the bytes at the next arrival
            continue;
        }
        if (!m_lineMode)
            return; // a handler reads raw bytes itself

        if (m_parser.state() == HttpRequestParser::State::Complete)
            m_parser.reset();
        const qint64 available = m_socket->bytesAvailable();
        if (available <= 0)
            return;
        const QByteArray chunk = m_socket->peek(std::min<qint64>(available, limits::kParseChunk));
        qsizetype consumed = 0;
        const HttpRequestParser::Status status = m_parser.feed(chunk, &consumed);
        m_socket->skip(consumed);
        if (m_parser.inRequest() && m_headerStart < 0)
            m_headerStart = nowMs();
        if (status == HttpRequestParser::Status::Failed) {
            refuse(m_parser.failureStatus(), m_parser.failureReason());
            return;
        }
        if (status == HttpRequestParser::Status::HeaderComplete)
            handleRequest();
    }
}

void THttpConnection::drainInput()
{
    // After an answer that closes the connection the client may still be
    // sending; its bytes are dropped so that the close stays orderly.
    const qint64 n = m_socket->skip(m_socket->bytesAvailable());
    if (n > 0)
        m_drained += n;
    if (m_drained > limits::kCloseDrainMaxBytes)
        Abort();
}

void THttpConnection::bodyDone()
{
    m_bodyMode = BodyMode::None;
    m_bodyRemaining = 0;
    m_lineMode = true;
    m_acceptPostedData = false;
}

bool THttpConnection::postedDataWanted() const
{
    return m_acceptPostedData && m_server && m_server->postedDataHandled();
}

void THttpConnection::raisePostedData()
{
    if (m_server)
        emit m_server->OnPostedData(m_server, this, 0);
}

qint64 THttpConnection::Receive(char *buffer, qint64 size)
{
    if (!m_socket || m_lineMode || size <= 0)
        return 0;
    if (m_bodyMode == BodyMode::Deliver)
        size = std::min(size, m_bodyRemaining);
    if (size <= 0)
        return 0;
    const qint64 n = m_socket->read(buffer, size);
    if (n > 0 && m_bodyMode == BodyMode::Deliver)
        m_bodyRemaining -= n;
    return n;
}

void THttpConnection::EndPostedData()
{
    m_lineMode = true;
    m_acceptPostedData = false;
    if (m_bodyMode == BodyMode::Deliver)
        m_bodyMode = m_bodyRemaining > 0 ? BodyMode::Discard : BodyMode::None;
    if (m_parser.state() != HttpRequestParser::State::Failed)
        m_parser.reset();
    scheduleInput();
}

// ---- requests ------------------------------------------------------------

void THttpConnection::handleRequest()
{
    const HttpRequest &r = req();
    m_headerStart = -1;
    m_bodyRemaining = r.ContentLength;
    m_bodyMode = BodyMode::None;
    m_acceptPostedData = false;
    m_responseStream.reset();
    m_responseSize = 0;
    m_responseSent = 0;
    m_closeAfterSend = false;
    m_document.clear();
    m_outsideRoot = false;

    if (r.HasTransferEncoding) {
        refuse(501, "Transfer-Encoding is not supported.");
        return;
    }
    if (m_server)
        emit m_server->OnBeforeProcessRequest(m_server, this);
    if (m_closed)
        return;

    const httppath::Mapping mapping = httppath::mapPath(r.Path, m_docDir);
    m_outsideRoot = mapping.OutsideRoot;
    m_document = mapping.Document;
    m_opened = {};
    if (!m_outsideRoot || m_options.testFlag(THttpOption::hoAllowOutsideRoot)) {
        if (r.Method == "GET" || r.Method == "HEAD")
            openDocument();
        else
            m_document = httppath::applyDefaultDocument(m_document, m_defaultDoc);
    }

    if (r.Method == "GET") {
        answerGetOrHead(false);
    } else if (r.Method == "HEAD") {
        answerGetOrHead(true);
    } else if (r.Method == "POST") {
        answerPost();
    } else {
        if (m_bodyRemaining > 0)
            m_bodyMode = BodyMode::Discard;
        Answer501();
    }
    m_opened.reset(-1);
}

void THttpConnection::answerGetOrHead(bool head)
{
    THttpGetFlag flag = m_outsideRoot && !m_options.testFlag(THttpOption::hoAllowOutsideRoot)
                            ? THttpGetFlag::Answer403
                            : THttpGetFlag::SendDocument;
    if (flag == THttpGetFlag::SendDocument && m_options.testFlag(THttpOption::hoAllowDirList)
        && m_opened.fd >= 0 && S_ISDIR(m_opened.status.st_mode))
        flag = THttpGetFlag::SendDirList;
    if (m_server) {
        if (head)
            emit m_server->OnHeadDocument(m_server, this, flag);
        else
            emit m_server->OnGetDocument(m_server, this, flag);
    }
    if (m_closed)
        return;
    // A body on a GET or HEAD is read and dropped, so the next request on
    // the connection starts where it should.
    if (m_bodyRemaining > 0 && m_bodyMode == BodyMode::None)
        m_bodyMode = BodyMode::Discard;

    switch (flag) {
    case THttpGetFlag::SendDocument: sendDocument(!head); break;
    case THttpGetFlag::SendStream: SendStream(); break;
    case THttpGetFlag::HandlerAnswers: break;
    case THttpGetFlag::Answer404: Answer404(); break;
    case THttpGetFlag::Answer403: Answer403(); break;
    case THttpGetFlag::Answer401:
        if (head)
            closeUnlessKeepAlive();
        else
            Answer401();
        break;
    case THttpGetFlag::AcceptPostedData: closeUnlessKeepAlive(); break;
    case THttpGetFlag::SendDirList: sendDirList(!head); break;
    }
}

void THttpConnection::answerPost()
{
    THttpGetFlag flag = m_outsideRoot && !m_options.testFlag(THttpOption::hoAllowOutsideRoot)
                            ? THttpGetFlag::Answer403
                            : THttpGetFlag::Answer404;
    m_acceptPostedData = false;
    if (m_server)
        emit m_server->OnPostDocument(m_server, this, flag);
    if (m_closed)
        return;
    if (flag == THttpGetFlag::AcceptPostedData) {
        m_acceptPostedData = true;
        m_lineMode = false;
        m_bodyMode = BodyMode::Deliver;
        m_emptyBodyReported = false;
        return;
    }
    if (m_bodyRemaining > 0 && m_bodyMode == BodyMode::None)
        m_bodyMode = BodyMode::Discard;
    switch (flag) {
    case THttpGetFlag::Answer404: Answer404(); break;
    case THttpGetFlag::Answer403: Answer403(); break;
    case THttpGetFlag::Answer401: Answer401(); break;
    default: closeUnlessKeepAlive(); break;
    }
}

// ---- answers -------------------------------------------------------------

void THttpConnection::closeUnlessKeepAlive()
{
    if (!KeepAlive())
        Close();
}

void THttpConnection::sendBuiltIn(const QByteArray &header, const QByteArray &body)
{
    if (m_closed || m_closing)
        return;
    m_awaitingAnswer = false;
    m_socket->write(header);
    if (Method() != "HEAD")
        m_socket->write(body);
    m_lastActivity = nowMs();
    closeUnlessKeepAlive();
    // The answer is queued; it leaves with the socket's next write.
    if (!m_closing)
        m_socket->flush();
}

void THttpConnection::Answer404()
{
    const answers::BuiltIn a = answers::notFound(Version(), Path());
    sendBuiltIn(a.Header, a.Body);
}

void THttpConnection::Answer403()
{
    const answers::BuiltIn a = answers::forbidden(Version(), Path());
    sendBuiltIn(a.Header, a.Body);
}

void THttpConnection::Answer401()
{
    const answers::BuiltIn a = answers::unauthorized(Version(), Path(), m_authRealm);
    sendBuiltIn(a.Header, a.Body);
}

void THttpConnection::Answer501()
{
    const answers::BuiltIn a = answers::unimplemented(Version());
    sendBuiltIn(a.Header, a.Body);
}

void THttpConnection::refuse(int status, QByteArrayView reason)
{
    if (m_closed || m_closing)
        return;
    m_awaitingAnswer = false;
    const QByteArray version = req().Version.isEmpty() ? QByteArray("HTTP/1.0") : req().Version;
    const answers::BuiltIn a = answers::refused(version, status, reason.toByteArray());
    m_socket->write(a.Header);
    m_socket->write(a.Body);
    m_headerStart = -1;
    if (m_sending) {
        // Only a time-out can refuse while an answer is going out; the client
        // has stopped reading, so there is nothing orderly left to do.
        Abort();
        return;
    }
    beginClosing();
}

void THttpConnection::openDocument()
{
    // Opened before the events are raised: the one look-up both finds the
    // default document and keeps the file that will be sent.
    const bool confine = !m_options.testFlag(THttpOption::hoAllowOutsideRoot);
    httppath::OpenResult opened = httppath::openDocument(m_document, documentRoot(), confine);
    m_opened.reset(opened.Fd);
    m_opened.escaped = opened.Escaped;
    if (m_opened.fd < 0)
        return;
    if (::fstat(m_opened.fd, &m_opened.status) != 0) {
        m_opened.reset(-1);
        return;
    }
    if (!S_ISDIR(m_opened.status.st_mode) || m_defaultDoc.isEmpty())
        return;
    const QByteArray candidate = m_document + (m_document.endsWith('/') ? "" : "/") + m_defaultDoc;
    opened = httppath::openDocument(candidate, documentRoot(), confine);
    if (opened.Fd < 0 && (opened.Error == ENOENT || opened.Error == ENOTDIR))
        return; // the folder holds no default document
    m_document = candidate;
    m_opened.reset(opened.Fd);
    m_opened.escaped = opened.Escaped;
    if (m_opened.fd >= 0 && ::fstat(m_opened.fd, &m_opened.status) != 0)
        m_opened.reset(-1);
}

void THttpConnection::sendDocument(bool withBody)
{
    if (m_opened.fd < 0) {
        if (m_opened.escaped)
            Answer403();
        else
            Answer404();
        return;
    }
    if (!S_ISREG(m_opened.status.st_mode)) {
        m_opened.reset(-1);
        Answer404();
        return;
    }
    const struct stat &st = m_opened.status;
    answers::DocumentPlan plan = answers::planDocument(Version(), answers::contentTypeFor(m_document),
                                                       st.st_size, st.st_mtime, RangeList(), KeepAlive());
    if (!withBody || plan.Pieces.isEmpty()) {
        m_opened.reset(-1);
        startSending(std::move(plan.Header), nullptr, false);
        return;
    }
    auto body = std::make_unique<HttpDocumentStream>(m_opened.release(), std::move(plan.Pieces), plan.BodySize);
    startSending(std::move(plan.Header), std::move(body), false);
}

httppath::DocumentRoot &THttpConnection::documentRoot()
{
    // Connections share the server's open folder unless DocDir changed since
    // they connected.
    if (m_server && m_server->m_root.path() == m_docDir)
        return m_server->m_root;
    if (!m_ownRoot)
        m_ownRoot = std::make_unique<httppath::DocumentRoot>(m_docDir);
    return *m_ownRoot;
}

void THttpConnection::sendDirList(bool withBody)
{
    const QByteArray body = httpdirlist::render(m_document, Path());
    if (body.isNull()) {
        Answer404();
        return;
    }
    const QByteArray header = Version() + " 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                              + QByteArray::number(body.size())
                              + (KeepAlive() ? "\r\nConnection: Keep-Alive\r\n\r\n" : "\r\nConnection: Close\r\n\r\n");
    std::unique_ptr<QIODevice> stream;
    if (withBody) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(body);
        buffer->open(QIODevice::ReadOnly);
        stream = std::move(buffer);
    }
    startSending(header, std::move(stream), false);
}

void THttpConnection::SetResponseStream(std::unique_ptr<QIODevice> stream)
{
    m_responseStream = std::move(stream);
}

void THttpConnection::SetResponseData(const QByteArray &bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    m_responseStream = std::move(buffer);
}

void THttpConnection::SendStream()
{
    if (m_closed || m_sending)
        return;
    std::unique_ptr<QIODevice> stream = std::move(m_responseStream);
    if (stream) {
        if (!stream->isOpen())
            stream->open(QIODevice::ReadOnly);
        else if (!stream->isSequential())
            stream->seek(0);
    }
    startSending({}, std::move(stream), true);
}

void THttpConnection::SendStr(QByteArrayView text)
{
    if (m_closed || m_sendShutDown || !m_socket)
        return;
    m_socket->write(text.data(), text.size());
    if (!m_sending)
        m_socket->flush();
}

// ---- sending -------------------------------------------------------------

void THttpConnection::startSending(QByteArray prefix, std::unique_ptr<QIODevice> body, bool handlerStream)
{
    if (m_closed || m_closing)
        return;
    m_awaitingAnswer = false;
    if (handlerStream)
        m_closeAfterSend = !body || !declaresLength(*body);
    m_responseSize = prefix.size() + (body ? std::max<qint64>(body->size(), body->bytesAvailable()) : 0);
    m_responseSent = 0;
    m_prefix = std::move(prefix);
    m_responseStream = std::move(body);
    m_sending = true;
    if (KeepAlive() && !m_lowDelay) {
        // The last piece of a kept-alive answer must not wait for an ACK;
        // a closing answer is pushed out by the shutdown anyway.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_lowDelay = true;
    }
    pump();
}



void THttpConnection::pump()
{
    // The stream goes out a batch of pieces at a time; the next batch is read
    // only once the previous one has been handed to the network, so memory
    // stays at one batch however large the stream.
    if (m_pumping || !m_sending)
        return;
    m_pumping = true;
    struct Reset
    {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_pumping};

    while (m_sending && !m_closed) {
        if (m_socket->bytesToWrite() > 0)
            return; // the socket layer still holds part of a batch; bytesWritten resumes
        if (const int r = sendFileSpan(); r < 0)
            return;
        else if (r > 0)
            continue;
        QByteArray batch = std::exchange(m_prefix, QByteArray());
        const qsizetype headerSize = batch.size();
        batch.resize(headerSize + limits::kSendBatch);
        const qint64 n = m_responseStream ? m_responseStream->read(batch.data() + headerSize, limits::kSendBatch) : 0;
        if (n < 0) {
            qCWarning(lcHttp) << objectName() << "stream failed:" << m_responseStream->errorString();
            Abort();
            return;
        }
        batch.truncate(headerSize + n);
        if (batch.isEmpty()) {
            finishSending();
            return;
        }
        m_responseSent += batch.size();
        if (!handOver(batch))
            return;
    }
}

int THttpConnection::sendFileSpan()
{
    // A document's file bytes go from the file to the socket inside the
    // kernel, a batch at a time, the header just before them. When the
    // socket is full the ordinary road takes over, since only data queued in
    // the socket layer brings a bytesWritten notification.
    auto *document = qobject_cast<HttpDocumentStream *>(m_responseStream.get());
    if (!document || !document->atFileSpan())
        return 0;
    const int fd = int(m_socket->socketDescriptor());
    if (!m_prefix.isEmpty()) {
        const QByteArray header = std::exchange(m_prefix, QByteArray());
        m_responseSent += header.size();
        if (!handOver(header, MSG_MORE))
            return -1;
    }
    const qint64 sent = document->sendFileTo(fd, limits::kSendBatch);
    if (sent < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        Abort();
        return -1;
    }
    if (sent == 0) {
        qCWarning(lcHttp) << objectName() << "stream failed:" << document->errorString();
        Abort();
        return -1;
    }
    m_responseSent += sent;
    m_lastActivity = nowMs();
    return 1;
}

bool THttpConnection::handOver(const QByteArray &bytes, int flags)
{
    // Straight to the kernel when the socket layer's buffer is empty; what the
    // kernel cannot take now is queued there and announced by bytesWritten.
    const int fd = int(m_socket->socketDescriptor());
    qint64 sent;
    do {
        sent = ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT | flags);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            Abort();
            return false;
        }
        sent = 0;
    }
    m_lastActivity = nowMs();
    if (sent == bytes.size())
        return true;
    m_socket->write(bytes.constData() + sent, bytes.size() - sent);
    return false;
}

void THttpConnection::finishSending()
{
    m_sending = false;
    m_responseStream.reset();
    const bool close = m_closeAfterSend || !KeepAlive();
    m_closeAfterSend = false;
    if (m_server && m_server->requestDoneHandled()) {
        QPointer<THttpConnection> self(this);
        QPointer<THttpServer> server(m_server);
        QMetaObject::invokeMethod(
            m_server,
            [self, server] {
                if (self && server)
                    server->requestDone(self);
            },
            Qt::QueuedConnection);
    }
    if (close)
        closeAfterAnswer();
    else if (!m_inInput && m_socket->bytesAvailable() > 0)
        scheduleInput();
}

void THttpConnection::onBytesWritten()
{
    m_lastActivity = nowMs();
    if (m_sending) {
        pump();
    } else if (m_closing && !m_sendShutDown && m_socket->bytesToWrite() == 0) {
        shutdownSend();
    }
}

// ---- closing -------------------------------------------------------------

void THttpConnection::Close()
{
    if (m_closed || m_closing)
        return;
    if (m_sending) {
        m_closeAfterSend = true;
        return;
    }
    beginClosing();
}

void THttpConnection::closeAfterAnswer()
{
    // With the whole request read, nothing more from the client and the answer
    // handed to the kernel, closing the socket at once (no reset: nothing is
    // unread) still delivers the answer and then the FIN, and spares waiting
    // for the client's own close. Anything unread would turn the close into a
    // reset that can destroy the answer in flight, so then it stays orderly.
    m_socket->flush();
    int unread = 0;
    const bool quiet = m_bodyMode == BodyMode::None && m_socket->bytesToWrite() == 0
                       && m_socket->bytesAvailable() == 0
                       && ::ioctl(int(m_socket->socketDescriptor()), FIONREAD, &unread) == 0 && unread == 0;
    if (quiet)
        Abort();
    else
        beginClosing();
}

void THttpConnection::beginClosing()
{
    if (m_closed || m_closing)
        return;
    m_closing = true;
    m_awaitingAnswer = false;
    m_bodyMode = BodyMode::None;
    m_socket->flush();
    if (m_socket->bytesToWrite() == 0)
        shutdownSend();
    else
        m_drainDeadline = nowMs() + (m_server ? m_server->IdleTimeout() : limits::kIdleTimeoutMs);
}

void THttpConnection::shutdownSend()
{
    // Only the sending side: the client reads the whole answer, then closes.
    m_sendShutDown = true;
    m_drainDeadline = nowMs() + limits::kCloseDrainTimeoutMs;
    ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    drainInput();
}

void THttpConnection::Abort()
{
    if (m_closed)
        return;
    m_sending = false;
    m_responseStream.reset();
    if (m_socket)
        m_socket->abort();
    reportClosed(0);
}

void THttpConnection::reportClosed(int error)
{
    if (m_closed)
        return;
    m_closed = true;
    m_sending = false;
    // The file goes now, not when the object is finally released.
    m_responseStream.reset();
    if (m_server)
        m_server->queueClosed(this, error);
}

void THttpConnection::checkTimeouts(qint64 now)
{
    if (m_closed)
        return;
    if (m_closing) {
        if (m_drainDeadline > 0 && now >= m_drainDeadline)
            Abort();
        return;
    }
    if (m_awaitingAnswer) {
        // The idle time starts with the answer, not while the program works on it.
        m_lastActivity = now;
        return;
    }
    const int idle = m_server ? m_server->IdleTimeout() : limits::kIdleTimeoutMs;
    const int header = m_server ? m_server->HeaderTimeout() : limits::kHeaderTimeoutMs;
    if (m_headerStart >= 0 && now - m_headerStart >= header) {
        guarded([this] { refuse(408, "The request header did not arrive in time."); });
        return;
    }
    if (now - m_lastActivity >= idle)
        Abort();
}

} // namespace vistrel::server
