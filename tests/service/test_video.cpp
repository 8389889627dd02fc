// The video operations: the link of a video's file, the owners' lists and recommendations, the search.
#include "../support/NetPages.h"

#include "decoding/Text.h"
#include "sandbox/SandboxVideo.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

const QString jsonErrorStart = QStringLiteral("-JSONValue failed.");

// A video page as the service sends it, the player variables near its end.
QString page(const QString &variables)
{
    return QStringLiteral(
               "<!--18035<!>video.css,video.js<!>0<!>6546<!>0<!><div id=\"mv_container\">"
               "<div class=\"mv_title\">{Заголовок}</div></div><!><script type=\"text/javascript\">\n"
               "var mvcur = {};\nvar vars = ") +
           variables + QStringLiteral(";\nvideoview.initPlayer(vars, {'autoplay': 0});\n</script><!>");
}

const QString host = QStringLiteral("vk.example");
const QString placeholder = QStringLiteral("http://vk.example/images/video_s.png");

QString fixture(const char *name)
{
    return Text::decodeWindows1251(TestSupport::readData(QStringLiteral("video/") + QLatin1String(name)));
}

// ---- the video page

// The file's address, "1" when there is no MP4, "2" when the page is unusable (with the error line when its
// variables cannot be read, after the JSON reader's own when they are no JSON).
TEST(VideoLinkPage, ResolutionRules)
{
    const struct
    {
        const char *what;
        QString variables;
        QString result;
        int logged = 0; // 1: the error line; 2: the JSON reader's line and the error line
    } cases[] = {
        {"host without scheme, numbers as texts",
         R"({"uid":"7","host":"cs1.example/","vtag":"ab12","hd":"2","no_flv":"1"})",
         "http://cs1.example/u7/video/ab12.480.mp4"},
        {"host with its scheme is not given a second one",
         R"({"host":"http:\/\/cs1.example\/","uid":"7","vtag":"ab12","hd":"1","no_flv":"1"})",
         "http://cs1.example/u7/video/ab12.360.mp4"},
        {"numbers as JSON numbers", R"({"host":"cs1.example/","uid":7,"vtag":"ab12","hd":3,"no_flv":1})",
         "http://cs1.example/u7/video/ab12.720.mp4"},
        {"hd 0", R"({"host":"cs1.example/","uid":"7","vtag":"ab12","hd":0,"no_flv":1})",
         "http://cs1.example/u7/video/ab12.240.mp4"},
        {"an unknown hd is 240 lines", R"({"host":"cs1.example/","uid":"7","vtag":"ab12","hd":5,"no_flv":1})",
         "http://cs1.example/u7/video/ab12.240.mp4"},
        {"no hd at all is 240 lines", R"({"host":"cs1.example/","uid":"7","vtag":"ab12","no_flv":"1"})",
         "http://cs1.example/u7/video/ab12.240.mp4"},
        {"double quotes inside the values are deleted",
         R"({"host":"cs1.example/","uid":"7\"","vtag":"ab\"12","hd":2,"no_flv":1})",
         "http://cs1.example/u7/video/ab12.480.mp4"},
        {"a host without the slash before the account gets one",
         R"({"host":"cs1.example","uid":"7","vtag":"ab12","hd":2,"no_flv":1})",
         "http://cs1.example/u7/video/ab12.480.mp4"},
        {"an https host keeps its scheme, and gets its slash",
         R"({"host":"https://cs1.example","uid":"7","vtag":"ab12","hd":2,"no_flv":1})",
         "https://cs1.example/u7/video/ab12.480.mp4"},
        {"control characters are removed first",
         "{\"host\":\"cs1.example/\",\n\t\"uid\":\"7\",\r\n\"vtag\":\"ab\n12\",\"hd\":1,\"no_flv\":1}",
         "http://cs1.example/u7/video/ab12.360.mp4"},
        {"no_flv 0 says there is no MP4",
         R"({"host":"cs1.example/","uid":"7","vtag":"ab12","hd":2,"no_flv":0})", "1"},
        {"no no_flv at all", R"({"host":"cs1.example/","uid":"7","vtag":"ab12","hd":2})", "1"},
        {"no host", R"({"uid":"7","vtag":"ab12","hd":2,"no_flv":1})", "2"},
        {"a nested object cuts the variables short",
         R"({"host":"cs1.example/","params":{"a":1},"uid":"7","vtag":"ab12","hd":2,"no_flv":1})", "2", 2},
        {"no vtag", R"({"host":"cs1.example/","uid":"7","hd":2,"no_flv":1})", "2", 1},
        {"no uid", R"({"host":"cs1.example/","vtag":"ab12","hd":2,"no_flv":1})", "2", 1},
        {"a host that is no text", R"({"host":null,"uid":"7","vtag":"ab12","hd":2,"no_flv":1})", "2", 1},
        {"the variables run into the script", R"({"host":"cs1.example/","uid":"7")", "2", 2},
        {"not JSON", R"({"host": cs1.example, uid: 7})", "2", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EXPECT_EQ(VideoPage::readLinkPage(page(c.variables)), c.result);
        EXPECT_EQ(log.lines().size(), c.logged);
        EXPECT_EQ(log.count(errorLine), c.logged > 0 ? 1 : 0);
        if (c.logged == 2) {
            EXPECT_TRUE(log.lines().first().startsWith(jsonErrorStart));
        }
    }
    // Pages that hold no player at all: no log line.
    for (const QString &body : {QString(), QStringLiteral("<div>Видео недоступно</div>")}) {
        LogCapture log;
        EXPECT_EQ(VideoPage::readLinkPage(body), QStringLiteral("2"));
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

TEST(VideoLinkPage, AHostThatMakesNoWebAddressIsRefused)
{
    // What the player or the download would be handed otherwise: a local file, another protocol, a script.
    const QStringList hosts = {
        "file:///home/user/.ssh/id_rsa#http://",
        "ftp://files.example/http://",
        "javascript:alert(1)//http://",
        "http:///",
        "data:text/html,http://x",
    };
    for (const QString &host : hosts) {
        SCOPED_TRACE(host.toStdString());
        LogCapture log;
        const QString variables =
            QStringLiteral(R"({"host":"%1","uid":"7","vtag":"ab12","hd":2,"no_flv":1})").arg(host);
        const VideoLink link = VideoPage::readLink(page(variables));
        EXPECT_EQ(link.kind, VideoLink::NotWebAddress);
        EXPECT_TRUE(link.address.isEmpty());
        EXPECT_EQ(link.text(), QStringLiteral("2")); // as the command line prints it: the page is unusable
        EXPECT_EQ(log.count(errorLine), 1);
    }
}

TEST(VideoLinkPage, AddressesOfTheOtherQualities)
{
    const QString best = QStringLiteral("http://cs1.example/u7/video/ab12.480.mp4");
    for (const int lines : {240, 360, 480, 720})
        EXPECT_EQ(VKontakteWorks::videoLinkWithLines(best, lines),
                  QStringLiteral("http://cs1.example/u7/video/ab12.%1.mp4").arg(lines));
    // The first ".mp4" decides, whatever follows it.
    EXPECT_EQ(
        VKontakteWorks::videoLinkWithLines(QStringLiteral("http://h/u1/video/x.720.mp4?extra=.mp4"), 360),
        QStringLiteral("http://h/u1/video/x.360.mp4"));
    // Nothing to replace: the address stays.
    EXPECT_EQ(VKontakteWorks::videoLinkWithLines(QStringLiteral("http://h/x.flv"), 240),
              QStringLiteral("http://h/x.flv"));
    EXPECT_EQ(VKontakteWorks::videoLinkWithLines(QStringLiteral(".mp4"), 240), QStringLiteral(".mp4"));
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

TEST(VideoListAnswer, AnswersWithoutAListAreEmptyAndUnreadableEntriesLoseTheListWithOneLogLine)
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
    // Answers without a list are empty, without our log line; an entry that cannot be read loses the list.
    const std::pair<QString, int> answers[] = {
        {QString(), 0},
        {fixture("list_without_brace.txt"), 0},
        {fixture("list_empty_all.txt"), 0},
        {"<!>{'summary':'no list'}<!>", 0},
        {"<!>['all']<!>", 0},
        {"{'all':'none'}", -1},                                   // the list is no list
        {"{'all':[7]}", -1},                                      // an entry is no list
        {"{'all':[[1,2,3,'t','',0,0,0,'','0:01','1']]}", -1},     // the picture is no text
        {"{'all':[[1,2,'','t','',0,0,0,'',61,'1']]}", -1},        // the play time is no text
        {"{'all':[[1,2,'','t','',0,0,0,'','0:01',1]]}", -1},      // the quality is no text
        {"{'all':[[null,2,'','t','',0,0,0,'','0:01','1']]}", -1}, // the owner is no number
    };
    for (const auto &[answer, size] : answers) {
        SCOPED_TRACE(answer.toStdString());
        LogCapture log;
        EXPECT_EQ(sizeOf(VideoPage::readList(answer, host)), size);
        EXPECT_EQ(log.count(errorLine), size < 0 ? 1 : 0);
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
    for (const QString &answer : {QString(), QStringLiteral("<div>no rows</div>")})
        EXPECT_EQ(sizeOf(VideoPage::readRecommendations(answer, host)), 0);
    EXPECT_TRUE(quiet.lines().isEmpty());
}

// ---- the search page

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

TEST(VideoSearchPage, RowlessPagesAreEmptyQuietlyAndEveryMissingMarkerLosesThePageWithOneLogLine)
{
    {
        LogCapture log;
        const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
        for (const QString &page :
             {QString(), fixture("search_no_rows.html"), QStringLiteral(" "),
              QStringLiteral("<div class=\"videos_row\">a row of another kind</div>")}) {
            EXPECT_EQ(sizeOf(VideoPage::readSearchPage(page, 0, host)), 0);
        }
        EXPECT_TRUE(log.lines().isEmpty());
        EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore);
    }
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
    // Each marker missing in turn: the picture, the play time, the player link, the quotes around the key.
    const std::pair<QString, QString> cuts[] = {{"<img src=\"http://p/x.jpg\">", "<i>picture</i>"},
                                                {"\"duration\"", "\"length\""},
                                                {"showVideo(", "openVideo("},
                                                {"'1_2', ''", "1_2"}};
    for (const auto &[from, to] : cuts) {
        SCOPED_TRACE(from.toStdString());
        QString page = good;
        page.replace(from, to);
        LogCapture log;
        EXPECT_FALSE(VideoPage::readSearchPage(page, 0, host).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

// ---- the operations against the sandbox ------------------------------------------------------------------

class VideoTest : public ServiceSandboxTest
{
protected:
    std::string lastTarget(const char *kind = "search")
    {
        return SandboxVideo::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
};

using VideoLinkTest = VideoTest;
using VideoListsTest = VideoTest;
using VideoSearchTest = VideoTest;

TEST_F(VideoLinkTest, EveryBestQualityResolvesToAPlayableFile)
{
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    const QStringList lines = {"240", "360", "480", "720"};
    int seen[4] = {0, 0, 0, 0};
    for (const SandboxVideoItem &item : catalogue) {
        if (!item.mp4 || !item.variables || seen[item.hd] >= 2)
            continue;
        ++seen[item.hd];
        SCOPED_TRACE(item.key());
        const QString address = VKontakteWorks::getVideoLink(QString::fromStdString(item.key()));
        EXPECT_EQ(SandboxVideo::lastRequest(sandbox, "show")->target,
                  "/al_video.php?act=show&al=1&autoplay=0&video=" + item.key());
        ASSERT_TRUE(address.endsWith(QStringLiteral(".%1.mp4").arg(lines.at(item.hd))))
            << address.toStdString();
        ASSERT_TRUE(address.startsWith(QString::fromStdString(sandbox.baseUrl()) + QStringLiteral("/u")));
        // The best quality and every one below it are files on the storage host.
        for (int q = 0; q <= item.hd; ++q) {
            const QString other = VKontakteWorks::videoLinkWithLines(address, lines.at(q).toInt());
            const Http::Response response = Http::get(other, {{"Range", "bytes=0-31"}}, 10);
            EXPECT_EQ(response.status, 206) << other.toStdString();
            EXPECT_EQ(response.body.mid(4, 4), QByteArray("ftyp")) << "an MP4 file starts with its type box";
        }
    }
    EXPECT_EQ(std::min({seen[0], seen[1], seen[2], seen[3]}), 2);
}

TEST_F(VideoLinkTest, VideosWithoutAnMp4OrAPlayerAndUnknownKeys)
{
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    const auto flv = std::find_if(catalogue.begin(), catalogue.end(), [](auto &v) { return !v.mp4; });
    const auto external =
        std::find_if(catalogue.begin(), catalogue.end(), [](auto &v) { return !v.variables; });
    ASSERT_NE(flv, catalogue.end());
    ASSERT_NE(external, catalogue.end());
    LogCapture log;
    EXPECT_EQ(VKontakteWorks::getVideoLink(QString::fromStdString(flv->key())), QStringLiteral("1"));
    EXPECT_EQ(VKontakteWorks::getVideoLink(QString::fromStdString(external->key())), QStringLiteral("2"));
    EXPECT_EQ(VKontakteWorks::getVideoLink(QStringLiteral("-1_1")), QStringLiteral("2"));
    EXPECT_TRUE(log.lines().isEmpty());

    // No answer at all: "2" with the error line.
    sandbox.stop();
    EXPECT_EQ(VKontakteWorks::getVideoLink(QString::fromStdString(catalogue.front().key())),
              QStringLiteral("2"));
    EXPECT_EQ(log.lines(), QStringList({errorLine}));
}

// A community's number goes negative; the records are the owner's videos in their order (what an entry
// becomes: the reader's cases, VideoListAnswer).
TEST_F(VideoListsTest, ListsMatchTheOwnersVideos)
{
    for (const auto &[owner, kind] : {std::pair{"1000002", 0}, std::pair{"42", 1}}) {
        SCOPED_TRACE(owner);
        const std::string sandboxOwner = (kind == 1 ? "-" : "") + std::string(owner);
        LogCapture log;
        const auto records = VKontakteWorks::getVideoWithJSON(QString::fromLatin1(owner), kind);
        EXPECT_EQ(lastTarget("list"), "/al_video.php?act=load_videos_silent&al=1&oid=" + sandboxOwner);
        QStringList keys, expected;
        for (const VideoRecord &r : records.value_or(QList<VideoRecord>()))
            keys << r.key;
        for (const SandboxVideoItem &item : SandboxVideo::listOf(sandbox, sandboxOwner))
            expected << QString::fromStdString(item.key());
        EXPECT_EQ(keys, expected);
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
        // The stand-in picture is on the service's own host.
        const auto item = std::find_if(catalogue.begin(), catalogue.end(), [&](const SandboxVideoItem &v) {
            return v.key() == r.key.toStdString();
        });
        ASSERT_NE(item, catalogue.end());
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
