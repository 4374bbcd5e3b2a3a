#pragma once

namespace vistrel::server {

class THttpConnection;
class THttpHandler;

// What a connection may tell the server that owns it, and all it may ask.
class HttpConnectionOwner
{
public:
    // The handler of the events, or null when none is set.
    virtual THttpHandler *handler() const = 0;
    // The connection has closed; the owner reports it and releases it later,
    // never inside this call.
    virtual void connectionClosed(THttpConnection &client, int error) = 0;

protected:
    ~HttpConnectionOwner() = default;
};

} // namespace vistrel::server
