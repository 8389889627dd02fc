#include "../support/NetPages.h"

#include "service/Session.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using TestSupport::errorLine;

class SessionTest : public TestSupport::ServiceSandboxTest
{
protected:
    SessionTest() : ServiceSandboxTest(false) {}
    void TearDown() override { Session::setBeforeCookieScan(nullptr); }

    QString host() const { return ServiceEndpoints::current().webHost; }
    QString email() const { return QString::fromStdString(Sandbox::defaultAccount().email); }
    QString password() const { return QString::fromStdString(Sandbox::defaultAccount().password); }
    bool signedOut() const { return global->vksid().isEmpty() && global->vkuid().isEmpty(); }
};

TEST_F(SessionTest, SignInKeepsTheSessionAndUserCookiesAndLogsThemSignOutEndsItWithOrWithoutTheService)
{
    TestSupport::LogCapture log;
    const Session::SignInResult result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::SignedIn);
    EXPECT_EQ(result.probeCode, 200);
    EXPECT_EQ(global->vksid().size(), 32);
    EXPECT_TRUE(sandbox.hasSession(global->vksid().toStdString()));
    EXPECT_EQ(global->vkuid(), QString::fromStdString(Sandbox::defaultAccount().uid));
    EXPECT_EQ(log.lines(),
              QStringList({QStringLiteral("Код ответа для %1: 200").arg(host()),
                           // Only the start of the session identifier reaches the log.
                           QStringLiteral("SID: ") + global->vksid().left(4) + QStringLiteral("…"),
                           QStringLiteral("UID: %1").arg(global->vkuid())}));

    const QString sid = global->vksid();
    Session::signOut();
    EXPECT_TRUE(signedOut());
    EXPECT_FALSE(sandbox.hasSession(sid.toStdString()));
    EXPECT_TRUE(Http::cookies().isEmpty());
    EXPECT_EQ(log.lines().last(), QStringLiteral("Оффлайн"));

    // Without the service as well.
    ASSERT_EQ(Session::signIn(email(), password()).outcome, Session::SignInResult::SignedIn);
    sandbox.stop();
    TestSupport::LogCapture offline;
    Session::signOut();
    EXPECT_TRUE(signedOut());
    EXPECT_EQ(offline.lines(), QStringList({QStringLiteral("Оффлайн")}));
}

TEST_F(SessionTest, WrongPasswordEndsSignedOutWithAnEmptiedStore)
{
    global->setVksid(QStringLiteral("stale"));
    Http::get(QString::fromStdString(sandbox.baseUrl()) + "/test/cookies/3", {}, 5, true); // a cookie to lose
    ASSERT_FALSE(Http::cookies().isEmpty());

    TestSupport::LogCapture log;
    const Session::SignInResult result = Session::signIn(email(), QStringLiteral("wrong"));
    EXPECT_EQ(result.outcome, Session::SignInResult::Failed);
    EXPECT_TRUE(global->vksid().isEmpty());
    for (const Http::Cookie &cookie : Http::cookies())
        EXPECT_NE(cookie.name, QStringLiteral("third"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("SID: ")));
    // It says why, as far as it can tell: the service answered and opened no session.
    EXPECT_EQ(result.cause, QStringLiteral("сервис не открыл сеанс: неверный e-mail или пароль"));
    EXPECT_EQ(log.lines().last(), QStringLiteral("Причина: ") + result.cause);
}

TEST_F(SessionTest, FailingProbeChangesNothing)
{
    Http::get(QString::fromStdString(sandbox.baseUrl()) + "/test/cookies/3", {}, 5, true);
    const int cookiesBefore = int(Http::cookies().size());
    global->setVkuid(QStringLiteral("42"));

    sandbox.setProbeStatus(503);
    TestSupport::LogCapture log;
    Session::SignInResult result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::Unreachable);
    EXPECT_EQ(result.probeCode, 503);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Код ответа для %1: 503").arg(host()),
                                        QStringLiteral("Причина: сервис ответил кодом 503")}));
    EXPECT_EQ(int(Http::cookies().size()), cookiesBefore);
    EXPECT_EQ(global->vkuid(), QStringLiteral("42"));
    EXPECT_TRUE(global->vksid().isEmpty());

    sandbox.stop(); // no answer at all: code 0
    result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::Unreachable);
    EXPECT_EQ(result.probeCode, 0);
    EXPECT_TRUE(result.cause.startsWith(QStringLiteral("нет ответа: "))) << result.cause.toStdString();
    EXPECT_GT(result.cause.size(), QStringLiteral("нет ответа: ").size()); // and curl's reason after it
    EXPECT_EQ(int(Http::cookies().size()), cookiesBefore);
}

TEST(ServiceEndpointsTest, EveryAddressKeepsTheSchemeOfItsBase)
{
    ServiceEndpoints secure;
    ASSERT_TRUE(ServiceEndpoints::fromServiceBase(QStringLiteral("https://stand-in.example:8443/"), &secure));
    for (const QString &address : {secure.probeUrl, secure.loginBase, secure.riaaUrl, secure.lastfmBase})
        EXPECT_TRUE(address.startsWith(QStringLiteral("https://"))) << address.toStdString();
    EXPECT_EQ(secure.webScheme, QStringLiteral("https"));
    const ServiceEndpoints saved = ServiceEndpoints::current();
    ServiceEndpoints::current() = secure;
    EXPECT_EQ(ServiceEndpoints::webAddress(secure.webHost, u"/audio"),
              QStringLiteral("https://stand-in.example:8443/audio"));
    // The real service is reached over https only.
    ServiceEndpoints::current() = ServiceEndpoints::defaults();
    const ServiceEndpoints real = ServiceEndpoints::current();
    for (const QString &address : {real.probeUrl, real.loginBase, real.riaaUrl, real.lastfmBase,
                                   ServiceEndpoints::webAddress(real.webHost, u"/al_search.php")})
        EXPECT_TRUE(address.startsWith(QStringLiteral("https://"))) << address.toStdString();
    ServiceEndpoints::current() = saved;
}

TEST_F(SessionTest, UnreachableDetailsCapitaliseTheFirstLabel)
{
    ServiceEndpoints saved = ServiceEndpoints::current();
    ServiceEndpoints::current().webHost = QStringLiteral("vk.com");
    EXPECT_EQ(Session::unreachableDetails(), QStringLiteral("VK.com недоступен на вашем устройстве"));
    ServiceEndpoints::current().webHost = QStringLiteral("localhost:8080");
    EXPECT_EQ(Session::unreachableDetails(), QStringLiteral("LOCALHOST:8080 недоступен на вашем устройстве"));
    ServiceEndpoints::current() = saved;
}

TEST_F(SessionTest, AnExceptionDuringSignInEndsSignedOutWithTheLogLine)
{
    global->setVkuid(QStringLiteral("42"));
    Session::setBeforeCookieScan([] { throw std::runtime_error("broken cookie store"); });
    TestSupport::LogCapture log;
    const Session::SignInResult result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::Failed);
    EXPECT_TRUE(signedOut());
    EXPECT_TRUE(Http::cookies().isEmpty());
    EXPECT_EQ(log.count(errorLine), 1);
    EXPECT_EQ(log.lines().mid(log.lines().size() - 3),
              QStringList({"SID: ", "UID: ", "Причина: ответ сервиса не удалось прочитать"}));
}

TEST_F(SessionTest, CredentialsAreEscapedInTwoStages)
{
    Session::signIn(QStringLiteral("a+b@mail.ru"), QStringLiteral("p w&%41я"));
    const QString query = QString::fromStdString(sandbox.lastLoginQuery());
    EXPECT_EQ(query,
              QStringLiteral("act=login&q=1&al_frame=1&email=a%2Bb%40mail.ru&pass=p%20w%26%2541%D1%8F"));

    Session::signIn(QString(), QString());
    EXPECT_EQ(QString::fromStdString(sandbox.lastLoginQuery()),
              QStringLiteral("act=login&q=1&al_frame=1&email=&pass="));
}

TEST_F(SessionTest, NoUserCookieKeepsThePreviousUserNumber)
{
    sandbox.setLoginSetsUserCookie(false);
    global->setVkuid(QStringLiteral("777"));
    EXPECT_EQ(Session::signIn(email(), password()).outcome, Session::SignInResult::SignedIn);
    EXPECT_EQ(global->vkuid(), QStringLiteral("777"));
    Session::signOut();
    EXPECT_EQ(Session::signIn(email(), password()).outcome, Session::SignInResult::SignedIn);
    EXPECT_TRUE(global->vkuid().isEmpty());
}

} // namespace
