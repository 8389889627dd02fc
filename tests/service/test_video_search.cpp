#include "../support/NetPages.h"

#include "decoding/Text.h"
#include "sandbox/SandboxVideo.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

const QString host = QStringLiteral("vk.example");

QString fixture(const char *name)
{
    return Text::decodeWindows1251(TestSupport::readData(QStringLiteral("video/") + QLatin1String(name)));
}

// ---- the page reader on fixture pages ---------------------------------------------------------------------

TEST(VideoSearchPage, ReadsTheFirstFortyOfMoreRows)
{
    LogCapture log;
    const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
    const auto records = VideoPage::readSearchPage(fixture("search_55_rows.html"), 1, host);
    ASSERT_EQ(sizeOf(records), 40);
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        const VideoRecord &r = records->at(i);
        EXPECT_EQ(fields(r),
                  QStringList({QStringLiteral("Видео номер %1").arg(i),
                               QStringLiteral("%1_%2").arg(100 + i).arg(5000 + i), "360+",
                               QString::number(tagBefore + 1 + i), "-1",
                               QStringLiteral("%1:%2").arg(i / 60 + 1).arg(i % 60, 2, 10, QLatin1Char('0')),
                               QStringLiteral("http://pics.example/v%1.jpg").arg(i)}));
    }
    EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 40);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(VideoSearchPage, RowCases)
{
    LogCapture log;
    const auto records = VideoPage::readSearchPage(fixture("search_rows_mixed.html"), 3, host);
    ASSERT_EQ(sizeOf(records), 4);
    const int tag = records->at(0).tag.toInt();
    const auto t = [tag](int k) { return QString::number(tag + k); };

    // Highlighting gone, references decoded, a per cent sign and its digits kept.
    EXPECT_EQ(fields(records->at(0)), QStringList({"Tom & Jerry 100%41", "-42_1001", "720", t(0), "-1",
                                                   "3:25", "http://pics.example/a.jpg"}));
    // A further class on the row; no picture: the service's stand-in; blanks trimmed off the key and the play
    // time; a title of blanks only.
    EXPECT_EQ(fields(records->at(1)), QStringList({unknown, "7_2002", "720", t(1), "-1", "1:02:03",
                                                   "http://vk.example/images/video_s.png"}));
    EXPECT_EQ(records->at(2).title, QStringLiteral("\"Кино\" — <Live> Café"));
    // Markup other than the highlighting stays part of the title text; an empty play time is kept empty.
    EXPECT_EQ(records->at(3).title, QStringLiteral("Группа <b>крови</b>"));
    EXPECT_EQ(records->at(3).duration, QString());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(VideoSearchPage, QualityCodesGiveTheirLabels)
{
    const QString page = fixture("search_rows_mixed.html");
    const struct
    {
        int code;
        QString label;
    } cases[] = {{0, "240+"}, {1, "360+"}, {2, "480+"}, {3, "720"}, {4, ""}, {7, ""}, {-1, ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        const auto records = VideoPage::readSearchPage(page, c.code, host);
        ASSERT_TRUE(records.has_value());
        for (const VideoRecord &r : *records)
            EXPECT_EQ(r.quality, c.label);
    }
}

TEST(VideoSearchPage, EveryMissingMarkerLosesThePageWithOneLogLine)
{
    {
        LogCapture log;
        const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
        EXPECT_FALSE(VideoPage::readSearchPage(fixture("search_row_without_show.html"), 0, host).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
        // The first row was read before the second failed: its tag stays used.
        EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 1);
    }
    const QString good = QStringLiteral(
        "<div class=\"videos_row clear_fix\"><img src=\"http://p/x.jpg\"><span class=\"duration\">1:00</span>"
        "<a onclick=\"return showVideo('1_2', '')\">Title</a></div>");
    ASSERT_EQ(VideoPage::readSearchPage(good, 0, host).value_or(QList<VideoRecord>()).size(), 1);
    const struct
    {
        const char *what;
        QString from;
        QString to;
    } cases[] = {
        {"no picture", "<img src=\"http://p/x.jpg\">", "<i>picture</i>"},
        {"no play time", "\"duration\"", "\"length\""},
        {"no player link", "showVideo(", "openVideo("},
        {"no quote around the key", "'1_2', ''", "1_2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QString page = good;
        page.replace(c.from, c.to);
        LogCapture log;
        EXPECT_FALSE(VideoPage::readSearchPage(page, 0, host).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

TEST(VideoSearchPage, EmptyAndRowlessPagesGiveAnEmptyListWithoutLogLine)
{
    LogCapture log;
    const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
    for (const QString &page : {QString(), fixture("search_no_rows.html"), QStringLiteral(" "),
                                QStringLiteral("<div class=\"videos_row\">a row of another kind</div>")}) {
        EXPECT_EQ(sizeOf(VideoPage::readSearchPage(page, 0, host)), 0);
    }
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore);
}

// ---- the whole operation against the sandbox ------------------------------------------------------------

class VideoSearchTest : public ServiceSandboxTest
{
protected:
    std::string lastTarget()
    {
        return SandboxVideo::lastRequest(sandbox, "search").value_or(SandboxRequest{}).target;
    }
};

TEST_F(VideoSearchTest, TheFiveRequestFormsByQualityCode)
{
    const struct
    {
        int quality;
        std::string hd, lines; // the fields that stand for it
    } cases[] = {
        {2, "c[hd]=1&", "c[quality]=1&"}, {0, "c[hd]=0&", ""}, {1, "c[hd]=1&", ""},
        {3, "c[hd]=1&", "c[quality]=2&"}, {7, "", ""},         {-1, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.quality);
        ASSERT_TRUE(
            VKontakteWorks::searchVideoWithOffset(QStringLiteral("a b"), 80, c.quality, 1).has_value());
        EXPECT_EQ(lastTarget(), "/al_search.php?al=1&" + c.hd + "c[q]=a%20b&" + c.lines +
                                    "c[section]=video&c[iphone]=1&offset=80&c[sort]=1");
        EXPECT_EQ(SandboxVideo::lastSearchText(sandbox), "a b");
    }
    EXPECT_EQ(ownHeaders(SandboxVideo::lastRequest(sandbox, "search").value()), pageFields(global->vksid()));
}

// Hits of the quality asked for (the labels of every code: VideoSearchPage.QualityCodesGiveTheirLabels).
TEST_F(VideoSearchTest, HitsMatchTheQueryAndCarryTheQualityLabelAndThePicture)
{
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    LogCapture log;
    const auto records = VKontakteWorks::searchVideoWithOffset(QStringLiteral("КОНЦЕРТ"), 0, 2, 0);
    ASSERT_GT(sizeOf(records), 0);
    for (const VideoRecord &r : *records) {
        SCOPED_TRACE(r.key.toStdString());
        EXPECT_TRUE(r.title.contains(QStringLiteral("концерт"), Qt::CaseInsensitive));
        EXPECT_EQ(r.quality, QStringLiteral("480+"));
        const auto item = std::find_if(catalogue.begin(), catalogue.end(), [&](const SandboxVideoItem &v) {
            return QString::fromStdString(v.key()) == r.key;
        });
        ASSERT_NE(item, catalogue.end());
        EXPECT_GE(item->hd, 2);
        EXPECT_EQ(
            r.thumbnail,
            item->thumbnail
                ? base() + "/images/video/" + r.key + ".png"
                : QStringLiteral("http://%1/images/video_s.png").arg(ServiceEndpoints::current().webHost));
    }
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(VideoSearchTest, FixturesThroughTheWholeRequestAndTheMissingAnswer)
{
    const std::string prefix = "/al_search.php?al=1&c[hd]=0&c[q]=";
    const std::string suffix = "&c[section]=video&c[iphone]=1&offset=0&c[sort]=0";
    SandboxVideo::setCannedAnswer(sandbox, prefix + "many" + suffix,
                                  TestSupport::readData("video/search_55_rows.html").toStdString());
    SandboxVideo::setCannedAnswer(sandbox, prefix + "broken" + suffix,
                                  TestSupport::readData("video/search_row_without_show.html").toStdString());
    SandboxVideo::setCannedAnswer(sandbox, prefix + "empty" + suffix, std::string());

    LogCapture log;
    EXPECT_EQ(VKontakteWorks::searchVideoWithOffset(QStringLiteral("many"), 0, 0, 0)->size(), 40);
    const auto empty = VKontakteWorks::searchVideoWithOffset(QStringLiteral("empty"), 0, 0, 0);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(VKontakteWorks::searchVideoWithOffset(QStringLiteral("broken"), 0, 0, 0).has_value());
    EXPECT_EQ(log.lines(), QStringList({errorLine}));

    // No answer at all is a failure of its own, unlike an empty one.
    sandbox.stop();
    EXPECT_FALSE(VKontakteWorks::searchVideoWithOffset(QStringLiteral("many"), 0, 0, 0).has_value());
    EXPECT_EQ(log.count(errorLine), 2);
}

TEST_F(VideoSearchTest, PausesOneSecondAfterTheAnswer)
{
    // At a twentieth of the pace the pause is 50 ms: present, and the request itself is local.
    TestSupport::PacingScope pace(0.05);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(VKontakteWorks::searchVideoWithOffset(QStringLiteral("кино"), 0, 0, 0).has_value());
    EXPECT_GE(clock.elapsed(), 50);
}

// One counter for every record of every operation: a tag each, one after the other.
TEST_F(VideoSearchTest, TagsAdvanceByOnePerRecordAndVideosContinueTheAudioCounter)
{
    const auto audioBefore = VKontakteWorks::searchAudioWithOffset(QStringLiteral("queen"), 0, 0);
    const auto videos = VKontakteWorks::searchVideoWithOffset(QStringLiteral("кино"), 0, 0, 0);
    const auto audioAfter = VKontakteWorks::searchAudioWithOffset(QStringLiteral("muse"), 0, 0);
    ASSERT_TRUE(audioBefore && videos && audioAfter);
    ASSERT_GT(audioBefore->size() * videos->size() * audioAfter->size(), 1);
    QStringList tags;
    for (const AudioRecord &r : *audioBefore)
        tags << r.tag;
    for (const VideoRecord &r : *videos)
        tags << r.tag;
    for (const AudioRecord &r : *audioAfter)
        tags << r.tag;
    for (qsizetype i = 1; i < tags.size(); ++i)
        EXPECT_EQ(tags.at(i).toInt(), tags.at(i - 1).toInt() + 1) << i;
    EXPECT_EQ(tags.last().toInt(), global->fileTag());
}

} // namespace
