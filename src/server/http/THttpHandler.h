#pragma once

#include "server/http/THttpAnswer.h"

namespace vistrel::server {

class THttpConnection;

// The program's side of the server: the events it answers. All of them run on
// the server's thread. A handler that throws costs the connection concerned
// only (or, for the server's own events, nothing).
class THttpHandler
{
public:
    virtual ~THttpHandler() = default;

    virtual void OnServerStarted() {}
    virtual void OnServerStopped() {}
    virtual void OnClientConnect(THttpConnection &) {}
    // The connection is released right after this returns.
    virtual void OnClientDisconnect(THttpConnection &) {}
    // A request's header is complete, before its path is mapped.
    virtual void OnBeforeProcessRequest(THttpConnection &) {}

    // A complete request: return `proposed` to let the engine answer as it
    // would, or another answer.
    virtual THttpAnswer OnGetDocument(THttpConnection &, THttpAnswer proposed) { return proposed; }
    virtual THttpAnswer OnHeadDocument(THttpConnection &, THttpAnswer proposed) { return proposed; }
    virtual THttpAnswer OnPostDocument(THttpConnection &, THttpAnswer proposed) { return proposed; }
    // Body bytes of a POST answered with TakeBody are waiting for Receive();
    // raised once with none waiting when the body is empty. TakeBody reads on;
    // any other answer is given (the rest of the body is then dropped).
    virtual THttpAnswer OnPostedData(THttpConnection &) { return THttpAnswer::none(); }
    // The last byte of an answer has been handed to the network.
    virtual void OnHttpRequestDone(THttpConnection &) {}
};

} // namespace vistrel::server
