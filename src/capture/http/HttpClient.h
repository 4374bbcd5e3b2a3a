#pragma once

#include "capture/http/HttpRequestWriter.h"
#include "capture/http/HttpResult.h"

#include <QByteArray>
#include <QDeadlineTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vistrel::capture::http {

// The probe's small HTTP/1.1 client: one connection per request, closed after
// it. A TLS session that verified is resumed by the next request of the same
// client to the same host and port (a capture's HEAD, GET and redirections),
// so only the first pays a full handshake; a client is made per capture, so
// nothing outlives it. Every wait runs a local event loop, so timers, the tray
// and the program's own web server stay served while a site answers. A wait ends when the site has
// been silent for the time-out, or when the request as a whole has taken the
// deadline (by default the time-out too), so a site that drips bytes cannot hold
// it for ever. One instance serves one caller at a time; a caller that may run
// while another request waits (a form post during a refresh) takes its own.
class HttpClient
{
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    void setUrl(const std::string &url) { m_url = url; }
    const std::string &url() const { return m_url; }

    void setTimeoutSeconds(int seconds);
    void setTimeout(std::chrono::milliseconds idle, std::chrono::milliseconds deadline);
    std::chrono::milliseconds timeout() const { return m_idleTimeout; }
    // A deadline shared by every request from now on, for a caller whose
    // questions together must end in time; a request begun after it fails at
    // once with HttpError::TimedOut.
    void setSharedDeadline(QDeadlineTimer deadline) { m_shared = deadline; }

    // Whether "https://" URLs are requested (over verified TLS) or refused.
    void setSecureAllowed(bool allowed) { m_secureAllowed = allowed; }
    bool secureAllowed() const { return m_secureAllowed; }

    void setOptions(const HttpRequestOptions &options) { m_options = options; }
    const HttpRequestOptions &options() const { return m_options; }

    HttpResult head() { return request("HEAD", false); }
    HttpResult get() { return request("GET", true); }

    // Ends the wait in progress with HttpError::Canceled.
    void cancel() { m_cancelRequested = true; }
    // Asked while every request waits: once it says yes, that request and every later
    // one end as cancelled (the user's cancel of a refresh ends its probe at once).
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelCheck = std::move(cancelled); }

    // The last response: header lines (status line first, final empty line
    // included) and body.
    const std::vector<std::string> &responseHeaders() const { return m_headers; }
    const QByteArray &responseBody() const { return m_body; }
    // Of the last request over TLS: the pin of the certificate that verified
    // (see spkiPin); empty for plain requests and failed handshakes.
    const std::string &peerSpkiPin() const { return m_peerSpkiPin; }

    // Requests begun by every client of the process, for measurements.
    static quint64 totalRequests() { return s_requests.load(); }

private:
    HttpResult request(const char *verb, bool readBody);

    std::string m_url;
    HttpRequestOptions m_options;
    std::chrono::milliseconds m_idleTimeout;
    std::chrono::milliseconds m_deadline;
    QDeadlineTimer m_shared{QDeadlineTimer::Forever};
    bool m_cancelRequested = false;
    std::function<bool()> m_cancelCheck;
    bool m_busy = false;
    bool m_secureAllowed = false;
    std::vector<std::string> m_headers;
    std::string m_peerSpkiPin;
    QByteArray m_body;
    // Host and port -> the session ticket of a verified TLS session there.
    std::map<std::string, QByteArray> m_sessions;

    static std::atomic<quint64> s_requests;
};

} // namespace vistrel::capture::http
