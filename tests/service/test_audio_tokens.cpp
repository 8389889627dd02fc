#include "../support/NetPages.h"

#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace TestSupport;

const std::string tokenTarget = "/audio?act=load_audios_silent&al=1&gid=0&id=9999999999&edit=0";

class AudioTokensTest : public TestSupport::ServiceSandboxTest
{
protected:
    void SetUp() override
    {
        global = GlobalData::sharedGlobalData();
        global->addAudioHash = QStringLiteral("0");
        global->delAudioHash = QStringLiteral("0");
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        uid = Sandbox::defaultAccount().uid;
        sid = global->vksid().toStdString();
    }

    std::vector<std::string> ownAids()
    {
        std::vector<std::string> aids;
        for (const SandboxTrack &t : SandboxAudio::userAudio(sandbox, uid))
            aids.push_back(t.aid);
        return aids;
    }
    void serveTokenPage(const char *fixture)
    {
        SandboxAudio::setCannedAnswer(
            sandbox, tokenTarget,
            TestSupport::readData(QStringLiteral("audio/") + QLatin1String(fixture)).toStdString());
    }

    // Add and delete send the session, and no page-request field.
    std::map<std::string, std::string> actionFields() const
    {
        return {{"Cookie", "remixsid=" + sid}, {"Accept-Encoding", "gzip"}};
    }

    std::string uid;
    std::string sid;
};

TEST_F(AudioTokensTest, AddFetchesItsTokenOnceAndPutsTheTrackOnTheUsersPage)
{
    const std::vector<SandboxTrack> catalogue = SandboxAudio::catalogueOf(sandbox);
    const SandboxTrack &first = catalogue.at(10);
    const SandboxTrack &second = catalogue.at(20);
    const size_t before = SandboxAudio::userAudio(sandbox, uid).size();

    LogCapture log;
    VKontakteWorks::addAudio(QString::fromStdString(first.aid), QString::fromStdString(first.oid));
    const std::string addToken = SandboxAudio::tokensOf(sandbox, sid).first;
    ASSERT_FALSE(addToken.empty());
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 1);
    EXPECT_EQ(global->addAudioHash.toStdString(), addToken); // stored without its quotes
    EXPECT_EQ(log.lines(),
              QStringList({QStringLiteral("Хэш добавления аудио: %1").arg(global->addAudioHash)}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "add")->target,
              "/audio?act=add&al=1&aid=" + first.aid + "&oid=" + first.oid + "&hash=" + addToken);
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "add").value()), actionFields());
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "tokens").value()), pageFields(global->vksid()));

    VKontakteWorks::addAudio(QString::fromStdString(second.aid), QString::fromStdString(second.oid));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 1);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "add")->target,
              "/audio?act=add&al=1&aid=" + second.aid + "&oid=" + second.oid + "&hash=" + addToken);

    const std::vector<SandboxTrack> own = SandboxAudio::userAudio(sandbox, uid);
    ASSERT_EQ(own.size(), before + 2);
    EXPECT_EQ(own[0].title, second.title); // the newest first, as the service lists them
    EXPECT_EQ(own[1].title, first.title);
    EXPECT_EQ(own[0].oid, uid);
}

TEST_F(AudioTokensTest, DeleteUsesItsOwnTokenAndRemovesTheRecord)
{
    const SandboxTrack track = SandboxAudio::catalogueOf(sandbox).at(7);
    VKontakteWorks::addAudio(QString::fromStdString(track.aid), QString::fromStdString(track.oid));
    const std::string added = ownAids().front();

    LogCapture log;
    VKontakteWorks::delAudio(QString::fromStdString(added), QString::fromStdString(uid));
    const auto [addToken, deleteToken] = SandboxAudio::tokensOf(sandbox, sid);
    EXPECT_NE(addToken, deleteToken);
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 2);
    EXPECT_EQ(global->delAudioHash.toStdString(), deleteToken);
    EXPECT_EQ(global->addAudioHash.toStdString(), addToken);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Хэш удаления аудио: %1").arg(global->delAudioHash)}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "delete")->target,
              "/audio?act=delete_audio&al=1&aid=" + added + "&oid=" + uid + "&hash=" + deleteToken);
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "delete").value()), actionFields());
    const std::vector<std::string> aids = ownAids();
    EXPECT_EQ(std::count(aids.begin(), aids.end(), added), 0);

    // A second delete sends the stored token without asking again.
    const std::string next = aids.front();
    VKontakteWorks::delAudio(QString::fromStdString(next), QString::fromStdString(uid));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 2);
    EXPECT_EQ(ownAids().size(), aids.size() - 1);
}

TEST_F(AudioTokensTest, AStaleTokenIsSentAsStoredAndChangesNothing)
{
    global->addAudioHash = QStringLiteral("stale");
    const std::vector<std::string> before = ownAids();
    const SandboxTrack track = SandboxAudio::catalogueOf(sandbox).at(1);
    LogCapture log;
    VKontakteWorks::addAudio(QString::fromStdString(track.aid), QString::fromStdString(track.oid));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 0);
    EXPECT_NE(SandboxAudio::lastRequest(sandbox, "add")->target.find("&hash=stale"), std::string::npos);
    EXPECT_EQ(ownAids(), before);
    EXPECT_TRUE(log.lines().isEmpty());
}

// Signed out, the page has no tokens; nor has a page without its brace, nor no answer at all.
TEST_F(AudioTokensTest, APageWithoutTokensGivesZeroQuietlyAndIsAskedAgain)
{
    global->setVksid(QStringLiteral("nobody"));
    LogCapture log;
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("0"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("0"));
    global->setVksid(QString::fromStdString(sid));
    serveTokenPage("tokens_without_brace.txt");
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("0"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("0"));
    EXPECT_TRUE(log.lines().isEmpty());

    VKontakteWorks::addAudio(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(global->addAudioHash, QStringLiteral("0"));
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Хэш добавления аудио: 0")}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "add")->target, "/audio?act=add&al=1&aid=1&oid=2&hash=0");
    VKontakteWorks::addAudio(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 6);

    sandbox.stop();
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("0"));
    EXPECT_EQ(log.lines().size(), 2);
}

TEST_F(AudioTokensTest, APageWithoutTheMarkerFallsBackToTheStoredToken)
{
    serveTokenPage("tokens_without_marker.txt");
    LogCapture log;
    global->addAudioHash = QStringLiteral("kept-add");
    global->delAudioHash = QStringLiteral("kept-delete");
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("kept-add"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("kept-delete"));
    EXPECT_EQ(log.lines(), QStringList({errorLine, errorLine}));

    // On the first attempt the stored token is still "0", and that is what the request sends.
    global->delAudioHash = QStringLiteral("0");
    LogCapture second;
    VKontakteWorks::delAudio(QStringLiteral("5"), QString::fromStdString(uid));
    EXPECT_EQ(second.lines(), QStringList({errorLine, QStringLiteral("Хэш удаления аудио: 0")}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "delete")->target,
              "/audio?act=delete_audio&al=1&aid=5&oid=" + uid + "&hash=0");
}

TEST_F(AudioTokensTest, TokensAreCutUpToTheNextComma)
{
    serveTokenPage("tokens_unquoted.txt");
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("a1b2c3"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("d4e5f6"));
}

TEST_F(AudioTokensTest, ARecordThatIsNoAddressPartSendsNothing)
{
    // A number text holding a blank (the fields are taken untrimmed from the page) forms no address.
    LogCapture log;
    VKontakteWorks::addAudio(QStringLiteral(" 456001"), QStringLiteral(" 2000001"));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 1);
    EXPECT_FALSE(SandboxAudio::lastRequest(sandbox, "add").has_value());
    EXPECT_EQ(log.lines().size(), 1); // the token line only
}

// ---- the rights-holder list

using RiaaTest = AudioTokensTest;

TEST_F(RiaaTest, TheFileIsSplitAtLineFeedsKeepingCarriageReturnsAndTheLastEmptyLine)
{
    SandboxAudio::setRiaaText(sandbox, "Ленинград\nRammstein\r\n  Мумий Тролль \n\nМетал\n");
    const auto lines = VKontakteWorks::getRiaaList();
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, QStringList({"Ленинград", "Rammstein\r", "  Мумий Тролль ", "", "Метал", ""}));

    // No cookie and no page-request field, even while signed in.
    const auto expected = std::map<std::string, std::string>{{"Accept-Encoding", "gzip"}};
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "riaa").value()), expected);
}

TEST_F(RiaaTest, RefusalComparesTrimmedTextsExactly)
{
    SandboxAudio::setRiaaText(sandbox, "Ленинград\nRammstein\r\nМумий Тролль\n");
    const QStringList list = VKontakteWorks::getRiaaList().value_or({});
    // The empty last line refuses only a blank search.
    for (const char *refused : {"  Rammstein \t", "Ленинград", "Мумий Тролль\n", "", "  "})
        EXPECT_TRUE(VKontakteWorks::riaaRefuses(list, QString::fromUtf8(refused))) << refused;
    for (const char *allowed : {"rammstein", "Ленин", "Мумий  Тролль"})
        EXPECT_FALSE(VKontakteWorks::riaaRefuses(list, QString::fromUtf8(allowed))) << allowed;

    SandboxAudio::setRiaaText(sandbox, "Rammstein");
    const QStringList noBlank = VKontakteWorks::getRiaaList().value_or({});
    EXPECT_FALSE(VKontakteWorks::riaaRefuses(noBlank, QStringLiteral(" ")));
    EXPECT_FALSE(VKontakteWorks::riaaRefuses({}, QString()));
}

TEST_F(RiaaTest, AnUnreachableHostGivesOneEmptyLine)
{
    sandbox.stop();
    LogCapture log;
    const auto lines = VKontakteWorks::getRiaaList();
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, QStringList({QString()}));
    EXPECT_TRUE(VKontakteWorks::riaaRefuses(*lines, QStringLiteral(" ")));
    EXPECT_FALSE(VKontakteWorks::riaaRefuses(*lines, QStringLiteral("Rammstein")));
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
