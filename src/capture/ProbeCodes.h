#pragma once

namespace vistrel::capture {

// Probe codes below zero; zero and above are HTTP statuses.
inline constexpr int kCodeNoStatus = -1;      // no status line, or its second word is no number
inline constexpr int kCodeTimedOut = -1;      // the client's time-out ran out
inline constexpr int kCodeCanceled = -2;
inline constexpr int kCodeServerError = -3;   // kept for the table; this client never raises it
inline constexpr int kCodeMessageError = -4;  // likewise
inline constexpr int kCodeFtpTransfer = -5;   // likewise
inline constexpr int kCodeMimeError = -6;     // likewise
inline constexpr int kCodeClientError = -7;   // any other client error: invalid URL, broken response
inline constexpr int kCodeSecureFailed = -94;  // https: the TLS handshake failed
inline constexpr int kCodeCertificate = -95;   // https: the certificate did not verify
inline constexpr int kCodeOwnServer = -96;    // http://localhost..., not probed
inline constexpr int kCodeFtp = -97;          // ftp://, not probed
inline constexpr int kCodeSecure = -98;       // https://, not probed
inline constexpr int kCodeFailed = -99;       // the request failed (socket errors and the like)
inline constexpr int kCodeScriptedSite = -100; // picture code only: the thumbnail came back blank

// The codes for which a fresh thumbnail is attempted, in their order.
inline constexpr int kReachableCodes[] = {200, 501, 301, 302, kCodeFtp};

inline bool isReachableCode(int code)
{
    for (int c : kReachableCodes) {
        if (c == code)
            return true;
    }
    return false;
}

} // namespace vistrel::capture
