#pragma once

#include "server/http/HttpPath.h"
#include "server/http/HttpRequestParser.h"
#include "server/http/HttpTypes.h"

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>

#include <memory>
#include <sys/stat.h>

class QTcpSocket;

namespace vistrel::server {

class THttpServer;

// One client of THttpServer: feeds the request parser from its socket, maps
// the request onto the document folder, lets the server's events choose the
// answer and sends it. The program may derive its own class from it and hand
// the server a factory for it.
class THttpConnection : public QObject
{
    Q_OBJECT
public:
    explicit THttpConnection(QObject *parent = nullptr);
    ~THttpConnection() override;

    // The request as received.
    const QByteArray &Method() const { return req().Method; }
    const QByteArray &Path() const { return req().Path; }
    const QByteArray &Params() const { return req().Params; }
    const QByteArray &Version() const { return req().Version; }
    const QList<QByteArray> &HeaderLines() const { return req().HeaderLines; }
    qint64 RequestContentLength() const { return req().ContentLength; }
    const QByteArray &RequestContentType() const { return req().ContentType; }
    const QByteArray &RequestAccept() const { return req().Accept; }
    const QByteArray &RequestReferer() const { return req().Referer; }
    const QByteArray &RequestAcceptLanguage() const { return req().AcceptLanguage; }
    const QByteArray &RequestAcceptEncoding() const { return req().AcceptEncoding; }
    const QByteArray &RequestUserAgent() const { return req().UserAgent; }
    const QByteArray &RequestAuth() const { return req().Authorization; }
    const QByteArray &RequestCookie() const { return req().Cookie; }
    const QByteArray &RequestHost() const { return req().Host; }
    const QByteArray &RequestHostName() const { return req().HostName; }
    const QByteArray &RequestHostPort() const { return req().HostPort; }
    const QByteArray &RequestConnection() const { return req().Connection; }
    bool KeepAlive() const { return req().KeepAlive; }
    const THttpRangeList &RangeList() const { return req().Ranges; }
    THttpRequestState RequestState() const;

    // Where the request leads.
    const QByteArray &Document() const { return m_document; }
    bool OutsideRoot() const { return m_outsideRoot; }
    const QByteArray &DocDir() const { return m_docDir; }
    const QByteArray &DefaultDoc() const { return m_defaultDoc; }
    const QByteArray &TemplateDir() const { return m_templateDir; }
    THttpOptions Options() const { return m_options; }
    bool AcceptPostedData() const { return m_acceptPostedData; }

    const QString &PeerAddr() const { return m_peerAddr; }
    quint16 PeerPort() const { return m_peerPort; }
    QTcpSocket *Socket() const { return m_socket; }
    THttpServer *Server() const { return m_server; }

    // Realm text of the 401 answer.
    const QByteArray &AuthRealm() const { return m_authRealm; }
    void SetAuthRealm(const QByteArray &realm) { m_authRealm = realm; }

    // Line mode off lets a handler read raw body bytes with Receive(): at most
    // `size` bytes, never beyond the announced body. Returns the count, 0 or
    // less when nothing is available.
    void SetLineMode(bool on) { m_lineMode = on; }
    bool LineMode() const { return m_lineMode; }
    qint64 Receive(char *buffer, qint64 size);

    // The response stream goes out unchanged, status line and header
    // included. Without a Content-Length line in its header the connection
    // closes after it, since the client can find its end no other way.
    void SetResponseStream(std::unique_ptr<QIODevice> stream);
    void SetResponseData(const QByteArray &bytes);
    QIODevice *ResponseStream() const { return m_responseStream.get(); }
    void SendStream();
    bool IsSending() const { return m_sending; }
    qint64 ResponseSize() const { return m_responseSize; }
    qint64 ResponseSent() const { return m_responseSent; }

    // Built-in answers; each closes the connection afterwards unless it is
    // kept alive. A HEAD request gets the header only.
    void Answer404();
    void Answer403();
    void Answer401();
    void Answer501();

    // A handler that answers later (a form still being processed) says so:
    // the connection is not idle while it waits, however long that takes, and
    // a next request on it waits until this answer has begun.
    void AwaitAnswer() { m_awaitingAnswer = true; }
    bool AwaitingAnswer() const { return m_awaitingAnswer; }

    void SendStr(QByteArrayView text);
    // Closes once everything queued has been sent; Abort() drops it at once.
    void Close();
    void Abort();
    // Back to waiting for a request line; body bytes not read yet are dropped.
    void EndPostedData();

private:
    friend class THttpServer;

    enum class BodyMode { None, Discard, Deliver };

    const HttpRequest &req() const { return m_parser.request(); }
    void attach(THttpServer *server, QTcpSocket *socket);
    void checkTimeouts(qint64 now);

    void onReadyRead();
    void onBytesWritten();
    void processInput();
    void drainInput();
    void handleRequest();
    void answerGetOrHead(bool head);
    void answerPost();
    void openDocument();
    void sendDocument(bool withBody);
    void sendDirList(bool withBody);
    void sendBuiltIn(const QByteArray &header, const QByteArray &body);
    void refuse(int status, QByteArrayView reason);
    void closeUnlessKeepAlive();
    void bodyDone();
    void raisePostedData();
    bool postedDataWanted() const;

    void startSending(QByteArray prefix, std::unique_ptr<QIODevice> body, bool handlerStream);
    void pump();
    bool handOver(const QByteArray &bytes, int flags = 0);
    int sendFileSpan();
    httppath::DocumentRoot &documentRoot();
    void finishSending();
    void closeAfterAnswer();
    void beginClosing();
    void shutdownSend();
    void reportClosed(int error);
    void scheduleInput();
    template <class F> void guarded(F &&step);

    THttpServer *m_server = nullptr;
    QTcpSocket *m_socket = nullptr;
    HttpRequestParser m_parser;

    QByteArray m_docDir;
    std::unique_ptr<httppath::DocumentRoot> m_ownRoot;
    QByteArray m_defaultDoc;
    QByteArray m_templateDir;
    THttpOptions m_options;
    QByteArray m_authRealm = "\"Vistrel\"";
    QString m_peerAddr;
    quint16 m_peerPort = 0;

    QByteArray m_document;
    // The document as opened for the current GET or HEAD.
    struct OpenedFile
    {
        int fd = -1;
        bool escaped = false;
        struct stat status {};
        OpenedFile() = default;
        OpenedFile(const OpenedFile &) = delete;
        OpenedFile &operator=(const OpenedFile &) = delete;
        OpenedFile &operator=(OpenedFile &&other) noexcept
        {
            reset(std::exchange(other.fd, -1));
            escaped = other.escaped;
            status = other.status;
            return *this;
        }
        ~OpenedFile() { reset(-1); }
        void reset(int newFd);
        int release() { return std::exchange(fd, -1); }
    } m_opened;
    bool m_outsideRoot = false;
    bool m_acceptPostedData = false;
    bool m_lineMode = true;
    BodyMode m_bodyMode = BodyMode::None;
    qint64 m_bodyRemaining = 0;
    bool m_emptyBodyReported = false;

    std::unique_ptr<QIODevice> m_responseStream;
    QByteArray m_prefix;
    bool m_sending = false;
    bool m_pumping = false;
    bool m_closeAfterSend = false;
    qint64 m_responseSize = 0;
    qint64 m_responseSent = 0;

    // Depth of this connection's own code on the stack: while above 0 the
    // object may only be released later.
    int m_busy = 0;
    struct BusyScope
    {
        int &depth;
        explicit BusyScope(int &d) : depth(++d) {}
        ~BusyScope() { --depth; }
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;
    };
    bool m_lowDelay = false;
    bool m_inInput = false;
    bool m_inputScheduled = false;
    bool m_closing = false;
    bool m_sendShutDown = false;
    bool m_awaitingAnswer = false;
    bool m_closed = false;
    qint64 m_drained = 0;
    qint64 m_lastActivity = 0;
    qint64 m_headerStart = -1;
    qint64 m_drainDeadline = 0;
};

} // namespace vistrel::server
