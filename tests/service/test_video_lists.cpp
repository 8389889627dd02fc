#include "../support/NetPages.h"

#include "decoding/Text.h"
#include "sandbox/SandboxVideo.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

const QString host = QStringLiteral("vk.example");
const QString placeholder = QStringLiteral("http://vk.example/images/video_s.png");

QString fixture(const char *name)
{
    return Text::decodeWindows1251(TestSupport::readData(QStringLiteral("video/") + QLatin1String(name)));
}

// ---- the list loader's answer -----------------------------------------------------------------------------

TEST(VideoListAnswer, EntriesBecomeRecords)
{
    LogCapture log;
    const auto records = VideoPage::readList(fixture("list_mixed.txt"), host);
    ASSERT_EQ(sizeOf(records), 5);
    const int tag = records->at(0).tag.toInt();
    const auto t = [tag](int k) { return QString::number(tag + k); };
    // "+" is a space, a plus sign comes as a reference; numbers bare; the quality code 3 is 720 lines.
    EXPECT_EQ(fields(records->at(0)), QStringList({"Tom & Jerry + 1", "1000001_456239017", "720", t(0), "-1",
                                                   "3:25", "http://pics.example/l1.jpg"}));
    // Quoted numbers; the script's escaped apostrophes turn into double quotes and are deleted with them;
    // no picture: the service's stand-in.
    EXPECT_EQ(fields(records->at(1)),
              QStringList({"RocknRoll \"Live\"", "-42_17", "240", t(1), "-1", "1:02:03", placeholder}));
    // A title of plus signs is blank; an unknown quality code stays as it is; the picture trimmed.
    EXPECT_EQ(fields(records->at(2)),
              QStringList({unknown, "7_8", "9", t(2), "-1", "0:05", "http://pics.example/l3.jpg"}));
    // Further positions are not read.
    EXPECT_EQ(records->at(3).title, QStringLiteral("Café del Mar"));
    EXPECT_EQ(records->at(3).quality, QStringLiteral("360"));
    // An escaped double quote is deleted; the quality code trimmed first.
    EXPECT_EQ(records->at(4).title, QStringLiteral("Цитата"));
    EXPECT_EQ(records->at(4).quality, QStringLiteral("480"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(VideoListAnswer, UnreadableEntriesLoseTheListWithOneLogLine)
{
    for (const char *name : {"list_short_entry.txt", "list_title_not_text.txt"}) {
        SCOPED_TRACE(name);
        LogCapture log;
        const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
        EXPECT_FALSE(VideoPage::readList(fixture(name), host).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
        // The good first entry was built before the bad second one.
        EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 1);
    }
    const QString bad[] = {
        QStringLiteral("{'all':'none'}"),                                   // the list is no list
        QStringLiteral("{'all':[7]}"),                                      // an entry is no list
        QStringLiteral("{'all':[[1,2,3,'t','',0,0,0,'','0:01','1']]}"),     // the picture is no text
        QStringLiteral("{'all':[[1,2,'','t','',0,0,0,'',61,'1']]}"),        // the play time is no text
        QStringLiteral("{'all':[[1,2,'','t','',0,0,0,'','0:01',1]]}"),      // the quality is no text
        QStringLiteral("{'all':[[null,2,'','t','',0,0,0,'','0:01','1']]}"), // the owner is no number
    };
    for (const QString &answer : bad) {
        SCOPED_TRACE(answer.toStdString());
        LogCapture log;
        EXPECT_FALSE(VideoPage::readList(answer, host).has_value());
        EXPECT_EQ(log.count(errorLine), 1);
    }
}

TEST(VideoListAnswer, AnswersWithoutAListAreEmptyWithoutOurLogLine)
{
    const QString answers[] = {
        QString(),
        fixture("list_without_brace.txt"),
        fixture("list_empty_all.txt"),
        QStringLiteral("<!>{'summary':'no list'}<!>"),
        QStringLiteral("<!>['all']<!>"),
    };
    for (const QString &answer : answers) {
        SCOPED_TRACE(answer.toStdString());
        LogCapture log;
        EXPECT_EQ(sizeOf(VideoPage::readList(answer, host)), 0);
        EXPECT_EQ(log.count(errorLine), 0);
    }
    // An apostrophe the script did not escape breaks the object: the JSON reader says why, the list is empty.
    LogCapture log;
    EXPECT_EQ(sizeOf(VideoPage::readList(QStringLiteral("{'all':[[1,2,'','Rock'n','',0,0,0,'','0:01','1']]}"),
                                         host)),
              0);
    EXPECT_EQ(log.count(errorLine), 0);
    EXPECT_EQ(log.lines().size(), 1);
}

// ---- the recommendations section --------------------------------------------------------------------------

TEST(VideoRecommendationsAnswer, EveryRowIsReadWithAnUnknownQuality)
{
    LogCapture log;
    const auto records = VideoPage::readRecommendations(fixture("recommendations_75.html"), host);
    ASSERT_EQ(sizeOf(records), 75);
    const int tag = records->first().tag.toInt();
    for (int i = 0; i < 75; ++i)
        EXPECT_EQ(
            fields(records->at(i)),
            QStringList({QStringLiteral("Рекомендация %1 & ещё").arg(i),
                         QStringLiteral("%1_%2").arg(i % 3 == 0 ? -(i % 5 + 1) : 300 + i).arg(7000 + i),
                         unknown, QString::number(tag + i), "-1",
                         QStringLiteral("%1:%2").arg(i % 9).arg(i % 60, 2, 10, QLatin1Char('0')),
                         i % 10 == 4 ? placeholder : QStringLiteral("http://pics.example/r%1.jpg").arg(i)}))
            << i;
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(VideoRecommendationsAnswer, ARowWithoutThePlayerLinkLosesTheAnswer)
{
    LogCapture log;
    EXPECT_FALSE(
        VideoPage::readRecommendations(fixture("recommendations_without_show.html"), host).has_value());
    EXPECT_EQ(log.lines(), QStringList({errorLine}));

    LogCapture quiet;
    for (const QString &answer : {QString(), QStringLiteral("<div>no rows</div>")}) {
        EXPECT_EQ(sizeOf(VideoPage::readRecommendations(answer, host)), 0);
    }
    EXPECT_TRUE(quiet.lines().isEmpty());
}

// ---- the operations against the sandbox -------------------------------------------------------------------

class VideoListsTest : public ServiceSandboxTest
{
protected:
    std::string lastTarget(const char *kind)
    {
        return SandboxVideo::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
};

TEST_F(VideoListsTest, ListsMatchTheOwnersVideos)
{
    const struct
    {
        QString owner;
        int kind;
        std::string sandboxOwner;
    } cases[] = {{"1000001", 0, "1000001"}, {"1000002", 0, "1000002"}, {"42", 1, "-42"}, {"7", 1, "-7"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.owner.toStdString());
        LogCapture log;
        const auto records = VKontakteWorks::getVideoWithJSON(c.owner, c.kind);
        ASSERT_TRUE(records.has_value());
        const std::vector<SandboxVideoItem> items = SandboxVideo::listOf(sandbox, c.sandboxOwner);
        ASSERT_EQ(records->size(), qsizetype(items.size()));
        for (size_t i = 0; i < items.size(); ++i) {
            const VideoRecord &r = records->at(qsizetype(i));
            EXPECT_EQ(r.key, QString::fromStdString(items[i].key()));
            EXPECT_EQ(r.quality, QString::number(QList<int>({240, 360, 480, 720}).at(items[i].hd)));
            // The loader escapes an apostrophe for its script, which the quote rewrite turns into a double
            // quote that is then deleted; everything else arrives.
            QString title = QString::fromStdString(items[i].title);
            title.remove(QLatin1Char('\''));
            EXPECT_EQ(r.title, title);
        }
        EXPECT_TRUE(log.lines().isEmpty());
    }
    // Nobody's number: the answer has no list.
    EXPECT_EQ(sizeOf(VKontakteWorks::getVideoWithJSON(QStringLiteral("999"), 0)), 0);
}

TEST_F(VideoListsTest, RecommendationsForTheUser)
{
    const auto records = VKontakteWorks::getVideoRecommendations(QStringLiteral("1000001"));
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(lastTarget("recommendations"),
              "/al_video.php?act=load_section_recommendations&al=1&offset=0&oid=1000001");
    EXPECT_EQ(records->size(), 75);
    for (const VideoRecord &r : *records) {
        EXPECT_EQ(r.quality, unknown);
        EXPECT_TRUE(r.thumbnail.startsWith(QStringLiteral("http://")));
        EXPECT_FALSE(r.title.isEmpty());
    }
    EXPECT_EQ(sizeOf(VKontakteWorks::getVideoRecommendations(QStringLiteral("5"))), 0);
}

TEST_F(VideoListsTest, FixturesThroughTheRequestAndTheMissingAnswer)
{
    SandboxVideo::setCannedAnswer(sandbox, "/al_video.php?act=load_videos_silent&al=1&oid=-5",
                                  TestSupport::readData("video/list_short_entry.txt").toStdString());
    SandboxVideo::setCannedAnswer(sandbox,
                                  "/al_video.php?act=load_section_recommendations&al=1&offset=0&oid=5",
                                  TestSupport::readData("video/recommendations_75.html").toStdString());
    LogCapture log;
    EXPECT_FALSE(VKontakteWorks::getVideoWithJSON(QStringLiteral("5"), 1).has_value());
    EXPECT_EQ(log.count(errorLine), 1);
    EXPECT_EQ(VKontakteWorks::getVideoRecommendations(QStringLiteral("5"))->size(), 75);

    sandbox.stop();
    EXPECT_FALSE(VKontakteWorks::getVideoWithJSON(QStringLiteral("1000001"), 0).has_value());
    EXPECT_FALSE(VKontakteWorks::getVideoRecommendations(QStringLiteral("1000001")).has_value());
    EXPECT_EQ(log.count(errorLine), 3);
}

} // namespace
