#include "../support/NetPages.h"

#include "decoding/Text.h"
#include "service/AudioSearchPage.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

QString fixture(const char *name)
{
    return Text::decodeWindows1251(TestSupport::readData(QStringLiteral("audio/") + QLatin1String(name)));
}

std::string searchTarget(const QString &escaped, int offset = 0, int sort = 0)
{
    // Concatenated: the escapes would pass for QString::arg placeholders.
    return "/al_search.php?al=1&c[section]=audio&c[q]=" + escaped.toStdString() +
           "&offset=" + std::to_string(offset) + "&c[sort]=" + std::to_string(sort);
}

// ---- the page reader on fixture pages ---------------------------------------------------------------------

TEST(AudioSearchPage, ReadsTheFirstHundredOfMoreRows)
{
    const QString page = fixture("search_150_rows.html");
    ASSERT_FALSE(page.isEmpty());
    LogCapture log;
    const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
    const auto records = parseAudioSearchPage(page);
    ASSERT_EQ(sizeOf(records), 100);
    // Row i lasts 60 + i seconds; the numbers are cut after "aid:" and "oid:" and kept untrimmed.
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(fields(records->at(i)),
                  QStringList(
                      {QStringLiteral("%1:%2").arg((60 + i) / 60).arg((60 + i) % 60, 2, 10, QLatin1Char('0')),
                       QStringLiteral("http://cs%1.example/u%2/audio/%3.mp3").arg(i % 9).arg(i).arg(7000 + i),
                       QStringLiteral("Песня номер %1").arg(i), QStringLiteral("Исполнитель %1").arg(i),
                       QString::number(tagBefore + 1 + i), QStringLiteral(" %1").arg(7000 + i),
                       QStringLiteral(" %1").arg(3000 + i)}))
            << i;
    EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 100);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(AudioSearchPage, RowCases)
{
    LogCapture log;
    const auto records = parseAudioSearchPage(fixture("search_rows_mixed.html"));
    ASSERT_EQ(sizeOf(records), 6);
    const int tag = records->at(0).tag.toInt();
    const auto t = [tag](int k) { return QString::number(tag + k); };

    // Seconds 245 read 4:05; the lyrics link's text is the title; the highlighting is gone.
    EXPECT_EQ(fields(records->at(0)),
              QStringList({"4:05", "http://cs1.example/a.mp3", "Группа крови", "Кино", t(0), " 6", " 5"}));
    // References decoded, per cent signs left alone.
    EXPECT_EQ(fields(records->at(1)),
              QStringList({"0:05", "http://cs2.example/b.mp3", "Don't Stop 100%41 & more",
                           "Simon & Garfunkel", t(1), " 8", " 7"}));
    // Blank texts become "Неизвестно"; minutes are not limited.
    EXPECT_EQ(fields(records->at(2)),
              QStringList({"60:00", "http://cs3.example/c.mp3", unknown, unknown, t(2), " 10", " 9"}));
    // A further class on the row; named and numeric references; a negative owner kept as sent.
    EXPECT_EQ(fields(records->at(3)), QStringList({"1:01", "http://cs4.example/d.mp3", "Café del Mar",
                                                   "Beyoncé", t(3), " 77", " -12"}));
    // Line breaks and tabs inside the title are dropped with the other control characters, then trimmed.
    EXPECT_EQ(fields(records->at(4)), QStringList({"10:00", "http://cs5.example/e.mp3",
                                                   "Nothing Else Matters", "AC/DC", t(4), " 14", " 13"}));
    EXPECT_EQ(records->at(5).title, QStringLiteral("<Untitled> %D0%B0"));
    EXPECT_EQ(records->at(5).artist, QStringLiteral("Ария"));
    EXPECT_EQ(records->at(5).duration, QStringLiteral("0:59"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(AudioSearchPage, MissingMarkersAnywhereInARowLoseThePageWithOneLogLine)
{
    {
        LogCapture log;
        const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
        EXPECT_FALSE(parseAudioSearchPage(fixture("search_row_without_oid.html")).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
        // The first row was read before the second failed: its tag stays used.
        EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 1);
    }
    const QString good = QStringLiteral(
        "<div class=\"audios_row clear_fix\"><input type=\"hidden\" value=\"http://a/b.mp3,61\">"
        "<div class=\"audio_title_wrap\"><a href=\"/x\">Artist</a> <span class=\"title\">Song</span></div>"
        "<div class=\"actions\" onclick=\"f({aid: 1, oid: 2, x: 3})\"></div></div>");
    ASSERT_EQ(parseAudioSearchPage(good).value_or(QList<AudioRecord>()).size(), 1);

    const struct
    {
        const char *what;
        QString from;
        QString to;
    } cases[] = {
        {"no hidden value", "value=\"", "data=\""},
        {"no title element", "audio_title_wrap", "other_wrap"},
        {"no artist link", "a href=", "b data="},
        {"no title span", "class=\"title\"", "class=\"name\""},
        {"no actions element", "\"actions\"", "\"buttons\""},
        {"no audio number", "aid:", "id:"},
        {"no comma after the owner", "oid: 2, x: 3", "oid: 2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QString page = good;
        page.replace(c.from, c.to);
        LogCapture log;
        EXPECT_FALSE(parseAudioSearchPage(page).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

TEST(AudioSearchPage, EmptyAndRowlessPagesGiveAnEmptyListWithoutLogLine)
{
    LogCapture log;
    const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
    for (const QString &page : {QString(), fixture("search_no_rows.html"), QStringLiteral("   "),
                                QStringLiteral("<div class=\"audios_row\">not a result row</div>")}) {
        EXPECT_EQ(sizeOf(parseAudioSearchPage(page)), 0);
    }
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore);
}

// ---- the whole operation against the sandbox ------------------------------------------------------------

class AudioSearchTest : public TestSupport::ServiceSandboxTest
{
protected:
    std::string lastTarget()
    {
        return SandboxAudio::lastRequest(sandbox, "search").value_or(SandboxRequest{}).target;
    }
};

TEST_F(AudioSearchTest, HitsMatchTheQueryAndAddressTheStorageHost)
{
    LogCapture log;
    const auto records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("кИнО"), 0, 0);
    ASSERT_GT(sizeOf(records), 0);
    const QRegularExpression stream(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(base()) + QStringLiteral("/storage/mp3/(\\d+)/(-?\\d+)_(\\d+)\\.mp3")));
    for (const AudioRecord &r : *records) {
        SCOPED_TRACE(r.url.toStdString());
        EXPECT_TRUE(r.artist.contains(QStringLiteral("кино"), Qt::CaseInsensitive) ||
                    r.title.contains(QStringLiteral("кино"), Qt::CaseInsensitive));
        const QRegularExpressionMatch m = stream.match(r.url);
        ASSERT_TRUE(m.hasMatch());
        // The length in the file's address is the row's "m:ss".
        const QStringList clock = r.duration.split(QLatin1Char(':'));
        ASSERT_EQ(clock.size(), 2);
        EXPECT_EQ(clock.at(1).size(), 2);
        EXPECT_EQ(clock.at(0).toInt() * 60 + clock.at(1).toInt(), m.captured(1).toInt());
        EXPECT_EQ(r.oid, m.captured(2));
        EXPECT_EQ(r.aid, m.captured(3));
        EXPECT_FALSE(r.title.contains(QLatin1Char('<')));
    }
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "search").value()), pageFields(global->vksid()));
}

TEST_F(AudioSearchTest, TheQueryIsEscapedInTwoStagesAndArrivesIntactWithTheOffsetAndTheSortCode)
{
    const struct
    {
        QString text;
        QString sent;
        int offset = 0;
        int sort = 0;
    } cases[] = {
        {QStringLiteral("a b"), QStringLiteral("a%20b")},
        {QStringLiteral("Simon & Garfunkel"), QStringLiteral("Simon%20%26%20Garfunkel")},
        {QStringLiteral("Ж"), QStringLiteral("%D0%96")},
        {QStringLiteral("100%"), QStringLiteral("100%25")},
        {QStringLiteral("AC/DC"), QStringLiteral("AC%2FDC")},
        {QStringLiteral("a+b=c?d;e:f@g$h,i"), QStringLiteral("a%2Bb%3Dc%3Fd%3Be%3Af%40g%24h%2Ci")},
        {QStringLiteral(" Don't [x]#"), QStringLiteral("%20Don't%20%5Bx%5D%23")},
        {QStringLiteral("a"), QStringLiteral("a"), 0, 1},
        {QStringLiteral("a"), QStringLiteral("a"), 200, -7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        ASSERT_TRUE(VKontakteWorks::searchAudioWithOffset(c.text, c.offset, c.sort).has_value());
        EXPECT_EQ(lastTarget(), searchTarget(c.sent, c.offset, c.sort));
        EXPECT_EQ(SandboxAudio::lastSearchText(sandbox), c.text.toStdString());
    }
}

TEST_F(AudioSearchTest, FixturePagesThroughTheWholeRequest)
{
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("fixture"),
                                  TestSupport::readData("audio/search_rows_mixed.html").toStdString());
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("broken"),
                                  TestSupport::readData("audio/search_row_without_oid.html").toStdString());
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("empty"), std::string());

    LogCapture log;
    const auto records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("fixture"), 0, 0);
    ASSERT_EQ(records.value_or(QList<AudioRecord>()).size(), 6);
    EXPECT_EQ(records->at(0).title, QStringLiteral("Группа крови"));
    EXPECT_EQ(sizeOf(VKontakteWorks::searchAudioWithOffset(QStringLiteral("empty"), 0, 0)), 0);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(VKontakteWorks::searchAudioWithOffset(QStringLiteral("broken"), 0, 0).has_value());
    EXPECT_EQ(log.lines(), QStringList({errorLine}));
}

TEST_F(AudioSearchTest, NoSessionOrNoServiceGivesAnEmptyListWithoutLogLine)
{
    LogCapture log;
    global->setVksid(QStringLiteral("not-a-session"));
    auto records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("кино"), 0, 0);
    EXPECT_EQ(sizeOf(records), 0);
    EXPECT_EQ(records.outcome(), ServiceAnswer<QList<AudioRecord>>::Answered);

    // Nobody answering reads like an empty page, and the answer says that nobody did.
    sandbox.stop();
    records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("кино"), 0, 0);
    EXPECT_EQ(sizeOf(records), 0);
    EXPECT_EQ(records.outcome(), ServiceAnswer<QList<AudioRecord>>::NoAnswer);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(AudioCleanText, DecodesTrimsAndNamesTheUnknown)
{
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("  AC&amp;DC\n")), QStringLiteral("AC&DC"));
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("100%20&#37;")), QStringLiteral("100%20%"));
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("&#x41a;&#1080;&#1085;&#1086;")),
              QStringLiteral("Кино"));
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("&amp;amp;")), QStringLiteral("&amp;"));
    EXPECT_EQ(VKontakteWorks::cleanText(QString()), unknown);
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral(" \t\r\n")), unknown);
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("&nbsp;")), unknown);
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("&bogus; x")), QStringLiteral("&bogus; x"));
}

} // namespace
