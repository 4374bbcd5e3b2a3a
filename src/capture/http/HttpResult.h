#pragma once

#include <QString>

namespace vistrel::capture::http {

// How a request ended. The error classes are those the probe turns into its
// negative codes; None means a response (possibly without a status) was read.
enum class HttpError {
    None,
    TimedOut,   // the idle countdown or the request's deadline ran out
    Canceled,   // cancel() during a wait
    Socket,     // connect, resolve, send or receive failed
    Protocol,   // the response broke the rules (bad chunk size, endless header)
    InvalidUrl, // nothing was sent
    Certificate, // the site's certificate did not verify for its host
    Handshake,   // the TLS handshake failed (no TLS there, no common protocol)
};

struct HttpResult
{
    HttpError error = HttpError::None;
    int status = -1;   // second word of the status line; -1 without one
    QString message;   // for errors
    // A secure request that ended before its TLS session stood: asking the
    // same site again cannot fare better.
    bool secureSessionFailed = false;

    bool ok() const { return error == HttpError::None; }
};

} // namespace vistrel::capture::http
