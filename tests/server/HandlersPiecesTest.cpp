#include "server/LocalTimeText.h"
#include "server/PostGuard.h"

#include <gtest/gtest.h>

using vistrel::server::localTimeText;
using vistrel::server::PostGuard;
using vistrel::server::PostSource;

namespace {

PostSource from(const QString &peer, std::initializer_list<QByteArray> lines)
{
    PostSource source{peer, {}};
    for (const QByteArray &line : lines)
        source.headers.append(line);
    return source;
}

TEST(HandlersPostGuard, AcceptsOnlyThisMachineShowingItsOwnPage)
{
    const PostGuard guard(QStringList{"Workstation", "workstation.home.lan"});
    for (const PostSource &ok : {
             from("127.0.0.1", {"Host: localhost:8080"}),
             from("127.0.0.1", {"Host: LOCALHOST:8080", "Origin: http://localhost:8080"}),
             from("127.0.0.5", {"Host: 127.0.0.5", "Referer: http://127.0.0.5/edit.htm?x=1"}),
             from("::1", {"Host: [::1]:81", "Origin: http://[::1]:81"}),
             from("::ffff:127.0.0.1", {"Host: workstation:80", "Origin: http://Workstation"}),
             from("127.0.0.1", {"host:workstation.home.lan.", "Referer: http://workstation.home.lan/"}),
         })
        EXPECT_EQ(guard.refusal(ok), QString()) << ok.headers.lines().join(" | ").toStdString();

    for (const PostSource &bad : {
             from("192.168.1.20", {"Host: localhost"}),
             from("::ffff:10.0.0.1", {"Host: localhost"}),
             from("127.0.0.1", {}),
             from("127.0.0.1", {"Host: localhost", "Host: evil.example"}),
             from("127.0.0.1", {"Host: evil.example"}),
             from("127.0.0.1", {"Host: 10.0.0.1"}),
             from("127.0.0.1", {"Host: localhost:8080x"}),
             from("127.0.0.1", {"Host: localhost:8080", "Origin: http://evil.example"}),
             from("127.0.0.1", {"Host: localhost:8080", "Origin: http://localhost:8081"}),
             from("127.0.0.1", {"Host: localhost:8080", "Origin: https://localhost:8080"}),
             from("127.0.0.1", {"Host: localhost:8080", "Origin: null"}),
             from("127.0.0.1", {"Host: localhost", "Referer: http://localhost.evil.example/"}),
             from("127.0.0.1", {"Host: localhost", "Origin: http://localhost", "Referer: http://evil.example/"}),
         })
        EXPECT_NE(guard.refusal(bad), QString()) << bad.peerAddress.toStdString() << " "
                                                   << bad.headers.lines().join(" | ").toStdString();
}

TEST(HandlersLocalTime, FollowsTheLocaleSeparators)
{
    const QDateTime when(QDate(2025, 3, 4), QTime(7, 8, 9));
    EXPECT_EQ(localTimeText(when, u"HH:NN:SS YYYY/MM/DD", QLocale(QLocale::English, QLocale::UnitedStates)),
              "07:08:09 2025/03/04");
    EXPECT_EQ(localTimeText(when, u"HH:NN:SS YYYY/MM/DD", QLocale(QLocale::German, QLocale::Germany)),
              "07:08:09 2025.03.04");
    EXPECT_EQ(localTimeText(when, u"[HH:NN]", QLocale(QLocale::Finnish, QLocale::Finland)), "[07.08]");
}

} // namespace
