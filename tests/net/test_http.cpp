// Requests and their answers: the fields sent, decoding, redirects, cookies, bounded answers, requests that
// end when asked, and the count of requests nobody answered.
#include "../support/NetServer.h"
#include "../support/TestSupport.h"

#include "net/Http.h"
#include "sandbox/Sandbox.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <tuple>

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

TEST_F(HttpTest, ServicePagesSendTheThreeFieldsOtherRequestsOnlyWhatTheCallerGivesAnswersAreDecoded)
{
    const QString echoed = Http::servicePage(base + "/test/headers", QStringLiteral("abc123"));
    for (const char *field :
         {"Cookie: remixsid=abc123\n", "X-Requested-With: XMLHttpRequest\n", "Accept-Encoding: gzip\n"})
        EXPECT_TRUE(echoed.contains(field)) << echoed.toStdString();
    const Http::Response plain = Http::get(base + "/test/headers", {}, 10);
    EXPECT_FALSE(plain.body.toLower().contains("accept-encoding")) << plain.body.toStdString();
    EXPECT_TRUE(Http::get(base + "/test/headers", {{"Accept-Encoding", "gzip"}}, 10)
                    .body.contains("Accept-Encoding: gzip\n"));

    // Answers are decoded whether or not the caller asked for compression.
    EXPECT_EQ(Http::get(base + "/test/gzip?text=hello%20world", {{"Accept-Encoding", "gzip"}}, 10).body,
              QByteArray("hello world"));
    EXPECT_EQ(Http::get(base + "/test/gzip?text=plain%20text", {}, 10).body, QByteArray("plain text"));
    EXPECT_EQ(Http::servicePage(base + "/test/gzip?text=plain", QString()), QStringLiteral("plain"));
    // The text and the bytes are the same page; the sandbox compresses the UTF-8 bytes, and decoding them as
    // 1251 must not be confused by the compression.
    const struct
    {
        const char *path;
        QString text;
    } pages[] = {{"/test/cp1251", QStringLiteral("Привет, мир")},
                 {"/test/gzip?text=%E0%E1%E2%20abc", QStringLiteral("абв abc")}};
    for (const auto &p : pages) {
        SCOPED_TRACE(p.path);
        bool answered = false;
        EXPECT_EQ(Http::servicePageUtf8(base + p.path, QString(), &answered), p.text.toUtf8());
        EXPECT_TRUE(answered);
        EXPECT_EQ(Http::servicePage(base + p.path, QString()), p.text);
    }
}

TEST_F(HttpTest, AnyAnswerIsReceivedAndOnlyRequestsWithoutOneAreCountedPerThreadWithTheirCause)
{
    const int before = Http::unansweredRequests();
    const int start = Http::unansweredRequestsOnThisThread();
    // Answers of any kind: an error status, an empty body.
    const Http::Response notFound = Http::get(base + "/test/status/404", {}, 10);
    EXPECT_TRUE(notFound.received);
    EXPECT_EQ(notFound.status, 404);
    EXPECT_EQ(Http::servicePage(base + "/test/status/500", QString()), QStringLiteral("status body"));
    Http::get(base + "/test/gzip?text=", {}, 10);
    EXPECT_EQ(Http::head(base).status, 200);
    sandbox.setProbeStatus(503);
    EXPECT_EQ(Http::head(base).status, 503);
    EXPECT_EQ(Http::head(base + "/test/status/404").status, 404);
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), start);
    EXPECT_EQ(Http::unansweredRequests(), before);

    sandbox.stop();
    const Http::Response refused = Http::get(base + "/test/status/200", {}, 5);
    EXPECT_FALSE(refused.received);
    EXPECT_TRUE(refused.body.isEmpty());
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_TRUE(Http::servicePage(base + "/test/cp1251", QString()).isEmpty());
    const Http::Response none = Http::head(base, 5);
    EXPECT_FALSE(none.received);
    EXPECT_EQ(none.status, 0);
    EXPECT_FALSE(none.error.isEmpty());
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), start + 3);
    EXPECT_EQ(Http::unansweredRequests(), before + 3);
    if (before == 0) {
        EXPECT_TRUE(Http::firstUnansweredCause().contains(base.mid(7)))
            << Http::firstUnansweredCause().toStdString();
    }
    // An address that cannot be formed sends nothing: no service was asked.
    Http::get(base + "/audio?id=10 01", {}, 10);
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

TEST(HttpRedirects, TheSessionNeverGoesToAnotherHostOrDownToPlainHttp)
{
    // From, to, and whether the hop is followed, with the caller's Cookie field, with the cookie store.
    const std::tuple<const char *, const char *, bool, bool, bool> cases[] = {
        {"http://a.example/x", "http://a.example/y", true, true, true},
        {"https://a.example/x", "https://a.example:443/y", true, true, true},
        {"http://a.example/x", "https://a.example/y", true, false, true},  // up to https: another port
        {"https://a.example/x", "http://a.example/y", true, false, false}, // down to http: nothing of it
        {"http://a.example/x", "http://b.example/y", true, false, true},   // the store knows its hosts
        {"http://a.example:80/x", "http://a.example:8080/y", true, false, true},
        {"http://a.example/x", "ftp://a.example/y", false, false, false},
        {"http://a.example/x", "file:///etc/passwd", false, false, false},
    };
    for (const auto &[from, to, follow, field, store] : cases) {
        const Http::Hop hop = Http::redirect(QString::fromLatin1(from), QString::fromLatin1(to));
        EXPECT_EQ(std::tuple(hop.follow, hop.keepCookieField, hop.keepCookieStore),
                  std::tuple(follow, field, store))
            << from << " -> " << to;
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
    EXPECT_TRUE(Http::get(base + "/test/cookies/3", {}, 10, false).body.isEmpty());

    Http::deleteAllCookies();
    EXPECT_TRUE(Http::cookies().isEmpty());
}

TEST_F(HttpTest, BodiesOverTheLimitAreFailedRequestsHoweverTheyArrive)
{
    const struct
    {
        const char *what;
        QString path;
    } cases[] = {
        {"announced length", "/test/large/65"},
        {"chunked, no length", "/test/large/65?chunked=1"},
        {"gzip bomb", "/test/bomb/200"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const int before = Http::unansweredRequests();
        const Http::Response response = Http::get(base + c.path, {{"Accept-Encoding", "gzip"}}, 30);
        EXPECT_FALSE(response.received);
        EXPECT_TRUE(response.body.isEmpty());
        EXPECT_EQ(Http::unansweredRequests(), before + 1);
    }
    // Just under the limit is an answer.
    const Http::Response fits = Http::get(base + "/test/large/63", {}, 30);
    EXPECT_TRUE(fits.received);
    EXPECT_EQ(fits.body.size(), 63 << 20);
}

TEST_F(HttpTest, ServicePagesAreDecodedAsTheyArriveAndLimitedByTheBytesSent)
{
    // 63 MB of the letter "а" in code page 1251 become 126 MB of UTF-8, yet the answer is within the limit;
    // 65 MB are not, though as sent they would fit twice in the UTF-8 of the first.
    bool answered = false;
    const QByteArray fits = Http::servicePageUtf8(base + "/test/large/63?fill=e0", QString(), &answered);
    EXPECT_TRUE(answered);
    ASSERT_EQ(fits.size(), qsizetype(126) << 20);
    EXPECT_TRUE(fits.startsWith("\xD0\xB0\xD0\xB0"));
    EXPECT_EQ(fits.count("\xD0\xB0"), qsizetype(63) << 20);
    const int before = Http::unansweredRequests();
    EXPECT_TRUE(
        Http::servicePageUtf8(base + "/test/large/65?fill=e0&chunked=1", QString(), &answered).isEmpty());
    EXPECT_FALSE(answered);
    EXPECT_EQ(Http::unansweredRequests(), before + 1);
}

// Last in its process: aborting cannot be undone (ctest runs every test in a process of its own).
TEST(HttpAbortTest, AbortEndsARequestWaitingForAnAnswerAtOnce)
{
    NetServer silent([](const QByteArray &, bool &hold) {
        hold = true;
        return QByteArray();
    });
    auto request = std::async(std::launch::async, [&] { return Http::get(silent.url(), {}, 120); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return !silent.requests().isEmpty(); })); // on its way
    Http::abortAll();
    ASSERT_EQ(request.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(request.get().received); // long before its two minutes
    // Later requests do not start at all.
    EXPECT_FALSE(Http::get(silent.url(), {}, 120).received);
}

} // namespace
