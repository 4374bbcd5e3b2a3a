#include "capture/DevToolsClient.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using vistrel::capture::DevToolsClient;

namespace {

QByteArray answer(int id, const QByteArray &result = "{}")
{
    return "{\"id\":" + QByteArray::number(id) + ",\"result\":" + result + "}" + '\0';
}

} // namespace

TEST(DevToolsClient, CommandsAreNulTerminatedJsonWithFreshIds)
{
    DevToolsClient client;
    int first = 0;
    int second = 0;
    const QByteArray frame = client.command("Page.navigate", {{"url", "http://a/"}}, "S1", first);
    client.command("Browser.getVersion", {}, {}, second);
    EXPECT_NE(first, second);
    ASSERT_TRUE(frame.endsWith('\0'));
    EXPECT_EQ(frame.count('\0'), 1);
    const QJsonObject sent = QJsonDocument::fromJson(frame.chopped(1)).object();
    EXPECT_EQ(sent.value("id").toInt(), first);
    EXPECT_EQ(sent.value("method").toString(), "Page.navigate");
    EXPECT_EQ(sent.value("sessionId").toString(), "S1");
    EXPECT_EQ(sent.value("params").toObject().value("url").toString(), "http://a/");
}

TEST(DevToolsClient, MessagesSplitAndJoinedAnyHowComeOutWhole)
{
    DevToolsClient client;
    int a = 0;
    int b = 0;
    client.command("A", {}, {}, a);
    client.command("B", {}, {}, b);
    const QByteArray stream = "{\"method\":\"Page.loadEventFired\",\"params\":{\"timestamp\":1},\"sessionId\":\"S\"}"
                              + QByteArray(1, '\0') + answer(b, "{\"v\":\"b\"}") + answer(a, "{\"v\":\"a\"}");
    // Byte by byte, then everything at once: the same messages.
    for (const int piece : {1, int(stream.size())}) {
        DevToolsClient copy = client;
        for (qsizetype at = 0; at < stream.size(); at += piece)
            ASSERT_TRUE(copy.feed(stream.mid(at, piece)));
        ASSERT_TRUE(copy.hasAnswer(a) && copy.hasAnswer(b));
        EXPECT_EQ(copy.takeAnswer(a)->result.value("v").toString(), "a");
        EXPECT_EQ(copy.takeAnswer(b)->result.value("v").toString(), "b");
        EXPECT_FALSE(copy.takeAnswer(a)) << "an answer is taken once";
        const auto events = copy.takeEvents();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events.front().method, "Page.loadEventFired");
        EXPECT_EQ(events.front().sessionId, "S");
        EXPECT_EQ(events.front().params.value("timestamp").toInt(), 1);
    }
}

TEST(DevToolsClient, EventsBetweenAnswersKeepTheirOrderAndErrorsCarryTheirMessage)
{
    DevToolsClient client;
    int id = 0;
    client.command("Page.navigate", {}, {}, id);
    ASSERT_TRUE(client.feed(QByteArray("{\"method\":\"E1\"}") + '\0' + "{\"method\":\"E2\"}" + '\0'
                            + "{\"id\":" + QByteArray::number(id) + ",\"error\":{\"code\":-32000,\"message\":\"No target\"}}"
                            + '\0' + "{\"method\":\"E3\"}" + '\0'));
    const auto failed = client.takeAnswer(id);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->error, "No target");
    QStringList order;
    for (const auto &event : client.takeEvents())
        order << event.method;
    EXPECT_EQ(order, QStringList({"E1", "E2", "E3"}));
    EXPECT_FALSE(client.hasEvents());
}

TEST(DevToolsClient, AnswersNobodyAskedForOrForgotAreDropped)
{
    DevToolsClient client;
    int id = 0;
    client.command("Slow", {}, {}, id);
    client.forget(id);
    ASSERT_TRUE(client.feed(answer(id) + answer(999) + answer(-1)));
    EXPECT_FALSE(client.hasAnswer(id));
    EXPECT_FALSE(client.hasAnswer(999));
    EXPECT_FALSE(client.broken());
}

TEST(DevToolsClient, MalformedOrEndlessMessagesBreakTheStreamForGood)
{
    for (const QByteArray &bad : {QByteArray("{\"id\":1,"), QByteArray("[1,2]"), QByteArray("not json"), QByteArray()}) {
        SCOPED_TRACE("message '" + bad.toStdString() + "'");
        DevToolsClient client;
        int id = 0;
        client.command("A", {}, {}, id);
        EXPECT_FALSE(client.feed(bad + '\0' + answer(id)));
        EXPECT_TRUE(client.broken());
        EXPECT_FALSE(client.hasAnswer(id)) << "nothing is taken after the break";
        EXPECT_FALSE(client.feed(answer(id)));
    }
    DevToolsClient endless;
    const QByteArray block(1024 * 1024, ' ');
    bool ok = true;
    for (qsizetype fed = 0; ok && fed <= DevToolsClient::kMaxMessageBytes; fed += block.size())
        ok = endless.feed(block);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(endless.broken());
}
