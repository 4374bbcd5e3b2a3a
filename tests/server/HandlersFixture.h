#pragma once

#include "support/LoopbackClient.h"
#include "server/DocumentHandlers.h"
#include "server/http/THttpServer.h"
#include "support/TestContext.h"

#include <QDir>

#include <gtest/gtest.h>
#include <memory>

namespace vistrel::test {

// The program's document handlers on a real server, listening on a free
// loopback port, in a temporary HOME.
class HandlersFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(t.paths.dataFolder);
        server.setObjectName("HttpServer1");
        handlers = std::make_unique<server::DocumentHandlers>(t.context, server);
        handlers->setPostGuard(server::PostGuard(QStringList()));
    }

    void TearDown() override
    {
        handlers.reset();
        server.Stop();
    }

    void start()
    {
        ASSERT_TRUE(handlers->start(QStringLiteral(" 0 ")).listening);
        port = server.ListeningPort();
        ASSERT_NE(port, 0);
    }

    // One request on its own connection, answered and closed.
    QByteArray exchange(const QByteArray &raw, int timeoutMs = 5000)
    {
        LoopbackClient client(port);
        client.send(raw);
        return client.readUntilClosed(timeoutMs);
    }

    QByteArray hostLine() const { return "Host: localhost:" + QByteArray::number(port) + "\r\n"; }
    QByteArray originLine() const { return "Origin: http://localhost:" + QByteArray::number(port) + "\r\n"; }

    // A form post as a browser on this machine sends it from the program's own page.
    QByteArray post(const QByteArray &path, const QByteArray &body, const QByteArray &extraHeader = {})
    {
        return "POST " + path + " HTTP/1.0\r\n" + hostLine() + originLine()
               + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
               + QByteArray::number(body.size()) + "\r\n" + extraHeader + "\r\n" + body;
    }

    TestContext t;
    server::THttpServer server;
    std::unique_ptr<server::DocumentHandlers> handlers;
    quint16 port = 0;
};

} // namespace vistrel::test
