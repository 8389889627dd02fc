// Bounded answers and requests that end when asked, and the count of requests nobody answered.
#include "net/Http.h"
#include "sandbox/Sandbox.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>

namespace {

class HttpLimitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        base = QString::fromStdString(sandbox.baseUrl());
    }
    Sandbox sandbox;
    QString base;
};

TEST_F(HttpLimitTest, BodiesOverTheLimitAreFailedRequestsHoweverTheyArrive)
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

TEST_F(HttpLimitTest, ServicePagesAreDecodedAsTheyArriveAndLimitedByTheBytesSent)
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

    // The text and the bytes are the same page, gzip or not.
    for (const char *path : {"/test/cp1251", "/test/gzip?text=%E0%E1%E2%20abc"}) {
        const QByteArray utf8 = Http::servicePageUtf8(base + path, QString(), &answered);
        EXPECT_TRUE(answered);
        EXPECT_EQ(QString::fromUtf8(utf8), Http::servicePage(base + path, QString())) << path;
    }
    EXPECT_EQ(QString::fromUtf8(Http::servicePageUtf8(base + "/test/cp1251", QString())),
              QStringLiteral("Привет, мир"));
    EXPECT_EQ(Http::servicePageUtf8(base + "/test/gzip?text=%E0%E1%E2%20abc", QString()),
              QStringLiteral("абв abc").toUtf8());
}

TEST_F(HttpLimitTest, CompressedAnswersAreDecodedWhetherOrNotTheCallerAskedForThem)
{
    const Http::Response unasked = Http::get(base + "/test/gzip?text=plain%20text", {}, 10);
    EXPECT_EQ(unasked.body, QByteArray("plain text"));
    // No Accept-Encoding field is sent unless the caller gives one.
    const Http::Response headers = Http::get(base + "/test/headers", {}, 10);
    EXPECT_FALSE(headers.body.toLower().contains("accept-encoding")) << headers.body.toStdString();
    const Http::Response asked = Http::get(base + "/test/headers", {{"Accept-Encoding", "gzip"}}, 10);
    EXPECT_TRUE(asked.body.contains("Accept-Encoding: gzip\n"));
}

TEST_F(HttpLimitTest, OnlyRequestsWithoutAnyAnswerAreCountedWithTheirCause)
{
    const int before = Http::unansweredRequests();
    EXPECT_TRUE(Http::get(base + "/test/status/404", {}, 10).received);
    EXPECT_TRUE(Http::get(base + "/test/status/200", {}, 10).received);
    EXPECT_EQ(Http::unansweredRequests(), before);
    sandbox.stop();
    EXPECT_FALSE(Http::get(base + "/test/status/200", {}, 5).received);
    EXPECT_EQ(Http::unansweredRequests(), before + 1);
    if (before == 0) {
        EXPECT_TRUE(Http::firstUnansweredCause().contains(base.mid(7)))
            << Http::firstUnansweredCause().toStdString();
    }
}

// Last in its process: aborting cannot be undone (ctest runs every test in a process of its own).
TEST(HttpAbortTest, AbortEndsARequestWaitingForAnAnswerAtOnce)
{
    // A server that accepts and then says nothing.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const QString url = QStringLiteral("http://127.0.0.1:") + QString::number(ntohs(address.sin_port)) + "/";

    auto request = std::async(std::launch::async, [url] { return Http::get(url, {}, 120); });
    const int client = ::accept(listener, nullptr, nullptr); // the request is on its way
    ASSERT_GE(client, 0);
    Http::abortAll();
    ASSERT_EQ(request.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(request.get().received); // long before its two minutes
    // Later requests do not start at all.
    EXPECT_FALSE(Http::get(url, {}, 120).received);
    ::close(client);
    ::close(listener);
}

} // namespace
