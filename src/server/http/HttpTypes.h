#pragma once

#include <QFlags>

namespace vistrel::server {

// The answer choice that the document events receive and may change.
enum class THttpGetFlag : int {
    SendDocument = 0,     // send the mapped document file
    SendStream = 1,       // send the response stream the handler prepared
    HandlerAnswers = 2,   // the handler answers by itself
    Answer404 = 3,
    Answer403 = 4,
    Answer401 = 5,
    AcceptPostedData = 6, // POST only: the handler reads the body in OnPostedData
    SendDirList = 7,
};

enum class THttpOption : int {
    hoAllowDirList = 0x1,
    hoAllowOutsideRoot = 0x2,
};
Q_DECLARE_FLAGS(THttpOptions, THttpOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(THttpOptions)

enum class THttpRequestState : int {
    WaitingRequestLine,
    ReadingHeaderLines,
    ReceivingPostedData,
};

// Socket linger mode; NotSet leaves the system default alone.
enum class THttpLinger : int { NotSet, Off, On };

} // namespace vistrel::server
