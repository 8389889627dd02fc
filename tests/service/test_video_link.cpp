#include "../support/NetPages.h"

#include "sandbox/SandboxVideo.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

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

TEST(VideoLinkPage, ResolutionRules)
{
    const struct
    {
        const char *what;
        QString variables;
        QString result;
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
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EXPECT_EQ(VideoPage::readLinkPage(page(c.variables)), c.result);
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

TEST(VideoLinkPage, UnusablePagesGiveTwo)
{
    // Pages that simply hold no player: no log line.
    for (const QString &body : {QString(), QStringLiteral("<div>Видео недоступно</div>"),
                                page(R"({"uid":"7","vtag":"ab12","hd":2,"no_flv":1})")}) {
        SCOPED_TRACE(body.toStdString());
        LogCapture log;
        EXPECT_EQ(VideoPage::readLinkPage(body), QStringLiteral("2"));
        EXPECT_TRUE(log.lines().isEmpty());
    }
    // Variables that cannot be read: the error line.
    const struct
    {
        const char *what;
        QString variables;
        bool jsonError;
    } cases[] = {
        {"a nested object cuts the variables short",
         R"({"host":"cs1.example/","params":{"a":1},"uid":"7","vtag":"ab12","hd":2,"no_flv":1})", true},
        {"no vtag", R"({"host":"cs1.example/","uid":"7","hd":2,"no_flv":1})", false},
        {"no uid", R"({"host":"cs1.example/","vtag":"ab12","hd":2,"no_flv":1})", false},
        {"a host that is no text", R"({"host":null,"uid":"7","vtag":"ab12","hd":2,"no_flv":1})", false},
        {"the variables run into the script", R"({"host":"cs1.example/","uid":"7")", true},
        {"not JSON", R"({"host": cs1.example, uid: 7})", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LogCapture log;
        EXPECT_EQ(VideoPage::readLinkPage(page(c.variables)), QStringLiteral("2"));
        EXPECT_EQ(log.count(errorLine), 1);
        EXPECT_EQ(log.lines().size(), c.jsonError ? 2 : 1);
        if (c.jsonError) {
            EXPECT_TRUE(log.lines().first().startsWith(jsonErrorStart));
        }
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

// ---- against the sandbox: the address really names the file on the storage host --------------------------

using VideoLinkTest = ServiceSandboxTest;

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
        // Every quality up to the best one exists; the next one does not.
        for (int q = 0; q < 4; ++q) {
            const QString other = VKontakteWorks::videoLinkWithLines(address, lines.at(q).toInt());
            const Http::Response response = Http::get(other, {{"Range", "bytes=0-31"}}, 10);
            if (q <= item.hd) {
                EXPECT_EQ(response.status, 206) << other.toStdString();
                EXPECT_EQ(response.body.mid(4, 4), QByteArray("ftyp"))
                    << "an MP4 file starts with its type box";
            } else {
                EXPECT_EQ(response.status, 404) << other.toStdString();
            }
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

} // namespace
