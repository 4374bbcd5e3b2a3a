#include "capture/http/HttpClient.h"

#include "capture/http/HttpLimits.h"
#include "capture/http/HttpResponseParser.h"
#include "capture/http/HttpTarget.h"
#include "capture/http/TlsTrust.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>

namespace vistrel::capture::http {

namespace {

// Longest uninterrupted stay in the event loop, so a cancel is noticed promptly.
constexpr int kPollMilliseconds = 100;

class BusyGuard
{
public:
    explicit BusyGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~BusyGuard() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

std::atomic<quint64> HttpClient::s_requests{0};

HttpClient::HttpClient()
    : m_idleTimeout(std::chrono::seconds(kDefaultTimeoutSeconds)), m_deadline(std::chrono::seconds(kDefaultTimeoutSeconds))
{
}

HttpClient::~HttpClient() = default;

void HttpClient::setTimeoutSeconds(int seconds)
{
    const auto value = std::chrono::milliseconds(std::max(1, seconds) * 1000LL);
    setTimeout(value, value);
}

void HttpClient::setTimeout(std::chrono::milliseconds idle, std::chrono::milliseconds deadline)
{
    m_idleTimeout = std::max(idle, std::chrono::milliseconds(1));
    m_deadline = std::max(deadline, std::chrono::milliseconds(1));
}

HttpResult HttpClient::request(const char *verb, bool readBody)
{
    m_headers.clear();
    m_body.clear();
    m_peerSpkiPin.clear();
    if (m_busy)
        return {HttpError::Socket, -1, QStringLiteral("The client is busy with another request")};
    const auto target = HttpTarget::parse(m_url, m_secureAllowed);
    // No proxy tunnel is spoken, so a secure request never goes through one.
    if (!target || (target->secure && m_options.useProxy()))
        return {HttpError::InvalidUrl, -1, QStringLiteral("Invalid URL")};
    if (target->secure && !QSslSocket::supportsSsl())
        return {HttpError::Handshake, -1, QStringLiteral("TLS is not available on this system"), true};

    if (m_shared.hasExpired())
        return {HttpError::TimedOut, -1, QStringLiteral("Timed out before the request")};
    BusyGuard busy(m_busy);
    m_cancelRequested = false;
    ++s_requests;

    QSslSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.setReadBufferSize(qint64(kReadBlockBytes) * 2);

    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    QDeadlineTimer idle(m_idleTimeout);
    QDeadlineTimer overall(m_deadline);
    if (m_shared.deadlineNSecs() < overall.deadlineNSecs())
        overall = m_shared;
    QAbstractSocket::SocketError lastError = QAbstractSocket::UnknownSocketError;
    QString certificateErrors;

    auto progress = [&] {
        idle.setRemainingTime(m_idleTimeout);
        loop.quit();
    };
    QObject::connect(&socket, &QAbstractSocket::connected, &loop, progress);
    QObject::connect(&socket, &QIODevice::readyRead, &loop, progress);
    QObject::connect(&socket, &QIODevice::bytesWritten, &loop, progress);
    QObject::connect(&socket, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError error) {
        lastError = error;
        loop.quit();
    });
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QSslSocket::encrypted, &loop, progress);
    // Not ignored: the handshake then fails, and the request with it.
    QObject::connect(&socket, &QSslSocket::sslErrors, &loop, [&](const QList<QSslError> &errors) {
        for (const QSslError &error : errors)
            certificateErrors += (certificateErrors.isEmpty() ? QString() : QStringLiteral("; ")) + error.errorString();
    });

    auto failure = [&](HttpError error, const QString &message) {
        socket.abort();
        return HttpResult{error, -1, message};
    };
    auto socketFailed = [&] {
        return lastError != QAbstractSocket::UnknownSocketError && lastError != QAbstractSocket::RemoteHostClosedError;
    };
    // Runs the event loop until ready() holds; otherwise names what ended the wait.
    auto waitFor = [&](auto ready) -> HttpError {
        for (;;) {
            if (ready())
                return HttpError::None;
            if (m_cancelRequested || (m_cancelCheck && m_cancelCheck()))
                return HttpError::Canceled;
            if (idle.hasExpired() || overall.hasExpired())
                return HttpError::TimedOut;
            if (socketFailed())
                return HttpError::Socket;
            const qint64 wait = std::min<qint64>({idle.remainingTime(), overall.remainingTime(), kPollMilliseconds});
            tick.start(int(std::max<qint64>(wait, 1)));
            loop.exec();
            tick.stop();
        }
    };
    auto waitError = [&](HttpError error, const char *what) {
        switch (error) {
        case HttpError::TimedOut:
            return failure(error, QStringLiteral("Timed out while %1").arg(QLatin1String(what)));
        case HttpError::Canceled:
            return failure(error, QStringLiteral("Cancelled"));
        default:
            return failure(HttpError::Socket, socket.errorString());
        }
    };

    // Kept only once the session has verified and named the host; TLS 1.3
    // sends the ticket after the handshake, so it may come with the answer.
    std::string sessionKey;
    bool sessionTrusted = false;
    auto keepSession = [&] {
        const QByteArray ticket = socket.sslConfiguration().sessionTicket();
        if (sessionTrusted && !ticket.isEmpty())
            m_sessions[sessionKey] = ticket;
    };

    const bool viaProxy = m_options.useProxy();
    if (target->secure) {
        const QString host = QString::fromStdString(target->host);
        sessionKey = target->host + ':' + std::to_string(target->port);
        QSslConfiguration configuration = verifyingTlsConfiguration();
        configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        if (const auto known = m_sessions.find(sessionKey); known != m_sessions.end())
            configuration.setSessionTicket(known->second);
        socket.setSslConfiguration(configuration);
        socket.setPeerVerifyName(host);
        QObject::connect(&socket, &QSslSocket::newSessionTicketReceived, &loop, keepSession);
        // A failure before the connection stood is a socket error as for
        // http; after it, the TLS handshake's own.
        bool tcpConnected = false;
        QObject::connect(&socket, &QAbstractSocket::connected, &loop, [&] { tcpConnected = true; });
        socket.connectToHostEncrypted(host, target->port, host);
        const HttpError e = waitFor([&] { return socket.isEncrypted() || socket.state() == QAbstractSocket::UnconnectedState; });
        if (e != HttpError::None || !socket.isEncrypted()) {
            HttpResult result;
            if (!certificateErrors.isEmpty())
                result = failure(HttpError::Certificate, certificateErrors);
            else if (e == HttpError::TimedOut || e == HttpError::Canceled)
                result = waitError(e, "connecting");
            else if (tcpConnected)
                result = failure(HttpError::Handshake, socket.errorString());
            else
                result = waitError(HttpError::Socket, "connecting");
            result.secureSessionFailed = result.error != HttpError::Canceled;
            m_sessions.erase(sessionKey);
            return result;
        }
        // Checked before a byte of the request is sent, so a site whose
        // certificate names another host learns nothing of what was asked.
        const QSslCertificate peer = socket.peerCertificate();
        if (peer.isNull() || !alternativeNamesAllowHost(peer, host)) {
            m_sessions.erase(sessionKey);
            HttpResult result = failure(HttpError::Certificate,
                                        QStringLiteral("The certificate is not for %1").arg(host));
            result.secureSessionFailed = true;
            return result;
        }
        m_peerSpkiPin = spkiPin(peer);
        sessionTrusted = true;
        keepSession();
    } else {
        socket.connectToHost(QString::fromStdString(viaProxy ? m_options.proxyHost : target->host),
                             viaProxy ? m_options.proxyPort : target->port);
        if (const HttpError e = waitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; });
            e != HttpError::None)
            return waitError(e, "connecting");
    }
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    const QByteArray requestBytes = writeRequest(verb, *target, m_options);
    socket.write(requestBytes);
    if (const HttpError e = waitFor([&] { return socket.bytesToWrite() == 0; }); e != HttpError::None)
        return waitError(e, "sending");

    HttpResponseParser parser(readBody);
    for (;;) {
        while (socket.bytesAvailable() > 0 && !parser.finished())
            parser.feed(socket.read(qint64(kReadBlockBytes)));
        if (parser.finished())
            break;
        // A TLS close_notify ends the answer as a closed connection does,
        // even while the server waits for us to close the connection itself.
        auto ended = [&] {
            return socket.state() != QAbstractSocket::ConnectedState || lastError == QAbstractSocket::RemoteHostClosedError;
        };
        if (ended()) {
            parser.endOfStream();
            break;
        }
        const HttpError e = waitFor([&] { return socket.bytesAvailable() > 0 || ended(); });
        if (e != HttpError::None) {
            m_headers = parser.headerLines();
            return waitError(e, "receiving");
        }
    }
    socket.abort();
    m_headers = parser.headerLines();
    m_body = parser.body();
    if (parser.failed())
        return {HttpError::Protocol, parser.status(), parser.errorText()};
    return {HttpError::None, parser.status(), QString()};
}

} // namespace vistrel::capture::http
