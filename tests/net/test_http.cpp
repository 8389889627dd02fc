#include "net/Http.h"
#include "sandbox/Sandbox.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <thread>

namespace {

class HttpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        base = QString::fromStdString(sandbox.baseUrl());
        Http::deleteAllCookies();
    }
    Sandbox sandbox;
    QString base;
};

TEST_F(HttpTest, ServicePageSendsTheThreeFieldsAndDecodesGzipAnd1251)
{
    const QString echoed = Http::servicePage(base + "/test/headers", QStringLiteral("abc123"));
    EXPECT_TRUE(echoed.contains("Cookie: remixsid=abc123\n")) << echoed.toStdString();
    EXPECT_TRUE(echoed.contains("X-Requested-With: XMLHttpRequest\n"));
    EXPECT_TRUE(echoed.contains("Accept-Encoding: gzip\n"));

    // The sandbox compresses the UTF-8 bytes; decoding them as 1251 must not be confused by the compression.
    const Http::Response gz =
        Http::get(base + "/test/gzip?text=hello%20world", {{"Accept-Encoding", "gzip"}}, 10);
    EXPECT_TRUE(gz.received);
    EXPECT_EQ(gz.body, QByteArray("hello world"));
    EXPECT_EQ(Http::servicePage(base + "/test/gzip?text=plain", QString()), QStringLiteral("plain"));

    EXPECT_EQ(Http::servicePage(base + "/test/cp1251", QString()), QStringLiteral("Привет, мир"));
}

TEST_F(HttpTest, StatusIsIgnoredButAFailedRequestGivesNoBody)
{
    const Http::Response notFound = Http::get(base + "/test/status/404", {}, 10);
    EXPECT_TRUE(notFound.received);
    EXPECT_EQ(notFound.status, 404);
    EXPECT_EQ(Http::servicePage(base + "/test/status/500", QString()), QStringLiteral("status body"));

    sandbox.stop();
    const Http::Response refused = Http::get(base + "/test/status/200", {}, 5);
    EXPECT_FALSE(refused.received);
    EXPECT_TRUE(refused.body.isEmpty());
    EXPECT_TRUE(Http::servicePage(base + "/test/cp1251", QString()).isEmpty());
}

TEST_F(HttpTest, HeadGivesTheStatusOrZeroWithoutAnAnswerAndWhy)
{
    EXPECT_EQ(Http::head(base).status, 200);
    sandbox.setProbeStatus(503);
    EXPECT_EQ(Http::head(base).status, 503);
    EXPECT_EQ(Http::head(base + "/test/status/404").status, 404);
    sandbox.stop();
    const Http::Response none = Http::head(base, 5);
    EXPECT_FALSE(none.received);
    EXPECT_EQ(none.status, 0);
    EXPECT_FALSE(none.error.isEmpty());
    EXPECT_FALSE(Http::get(base, {}, 5).error.isEmpty());
}

TEST(HttpRedirects, TheSessionNeverGoesToAnotherHostOrDownToPlainHttp)
{
    struct Case
    {
        const char *from;
        const char *to;
        bool follow;
        bool field; // the caller's Cookie field goes along
        bool store; // the cookie store goes along
    } cases[] = {
        {"http://a.example/x", "http://a.example/y", true, true, true},
        {"https://a.example/x", "https://a.example:443/y", true, true, true},
        {"http://a.example/x", "https://a.example/y", true, false, true},  // up to https: another port
        {"https://a.example/x", "http://a.example/y", true, false, false}, // down to http: nothing of it
        {"http://a.example/x", "http://b.example/y", true, false, true},   // the store knows its hosts
        {"http://a.example:80/x", "http://a.example:8080/y", true, false, true},
        {"http://a.example/x", "ftp://a.example/y", false, false, false},
        {"http://a.example/x", "file:///etc/passwd", false, false, false},
    };
    for (const Case &c : cases) {
        const Http::Hop hop = Http::redirect(QString::fromLatin1(c.from), QString::fromLatin1(c.to));
        EXPECT_EQ(hop.follow, c.follow) << c.from << " -> " << c.to;
        EXPECT_EQ(hop.keepCookieField, c.field) << c.from << " -> " << c.to;
        EXPECT_EQ(hop.keepCookieStore, c.store) << c.from << " -> " << c.to;
    }
}

TEST_F(HttpTest, ARedirectToAnotherHostLeavesTheSessionFieldBehind)
{
    // Same server, another host name: the field is not sent there; to the same host it is.
    const QString elsewhere = QStringLiteral("http://localhost:%1/test/headers").arg(sandbox.port());
    const QString away = Http::servicePage(base + "/test/redirect?to=" + QUrl::toPercentEncoding(elsewhere),
                                           QStringLiteral("secret-session"));
    EXPECT_TRUE(away.contains("X-Requested-With: XMLHttpRequest")) << away.toStdString();
    EXPECT_FALSE(away.contains("secret-session")) << away.toStdString();
    const QString home = Http::servicePage(
        base + "/test/redirect?to=" + QUrl::toPercentEncoding(base + "/test/headers"), QStringLiteral("s2"));
    EXPECT_TRUE(home.contains("Cookie: remixsid=s2")) << home.toStdString();
    // Only web addresses are followed.
    EXPECT_FALSE(Http::get(base + "/test/redirect?to=" + QUrl::toPercentEncoding("file:///etc/passwd"), {}, 5)
                     .received);
}

TEST_F(HttpTest, OnlyRequestsThatGotNoAnswerAreCountedAndOnlyForTheirThread)
{
    const int start = Http::unansweredRequestsOnThisThread();
    // Answers of any kind: an error status, an empty body.
    Http::get(base + "/test/status/500", {}, 10);
    Http::get(base + "/test/gzip?text=", {}, 10);
    Http::head(base + "/test/status/404");
    // An address that cannot be formed sends nothing: no service was asked.
    Http::get(base + "/audio?id=10 01", {}, 10);
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), start);

    sandbox.stop();
    Http::get(base + "/test/status/200", {}, 5);
    Http::servicePage(base + "/test/cp1251", QString());
    Http::head(base, 5);
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), start + 3);

    // Another thread's failures are its own.
    int elsewhere = -1;
    std::thread other([&] {
        Http::get(base + "/test/status/200", {}, 5);
        elsewhere = Http::unansweredRequestsOnThisThread();
    });
    other.join();
    EXPECT_EQ(elsewhere, 1);
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), start + 3);
}

TEST_F(HttpTest, CookieStoreCollectsEveryRedirectHopAndEmpties)
{
    const Http::Response response = Http::get(base + "/test/cookies/1", {}, 10, true);
    ASSERT_TRUE(response.received);
    // The last hop saw the cookies of the two before it.
    EXPECT_TRUE(response.body.contains("first=1"));
    EXPECT_TRUE(response.body.contains("second=2"));

    QStringList names;
    for (const Http::Cookie &cookie : Http::cookies()) {
        names << cookie.name;
        EXPECT_EQ(cookie.domain, QStringLiteral("127.0.0.1"));
    }
    names.sort();
    EXPECT_EQ(names, QStringList({"first", "second", "third"}));

    // Requests outside the store neither send nor collect cookies.
    const Http::Response plain = Http::get(base + "/test/cookies/3", {}, 10, false);
    EXPECT_TRUE(plain.body.isEmpty());

    Http::deleteAllCookies();
    EXPECT_TRUE(Http::cookies().isEmpty());
}

} // namespace
