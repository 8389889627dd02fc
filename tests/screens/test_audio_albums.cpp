#include "../support/OverlayLog.h"
#include "../support/SandboxSignIn.h"

#include "core/PropertyList.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Text.h"
#include "desktop/Badges.h"
#include "downloads/DownloadQueue.h"
#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxLastfm.h"
#include "screens/Audio_Albums.h"
#include "screens/Audio_Search.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString errorLine = QStringLiteral("Отлавливай ошибки, будь мужиком, блеать!");
const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

class AudioAlbumsTest : public TestSupport::ServiceSandboxTest
{
protected:
    AudioAlbumsTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        Stores::albums().clear();
        Stores::audioFound().clear();
        DownloadQueue::shared().clear();
        screen.setTitle(QStringLiteral("Альбомы"));
        overlays.watch(screen);
        screen.viewDidLoad();
        screen.viewWillAppear();
    }
    void waitIdle()
    {
        ASSERT_TRUE(TestSupport::waitFor(
            [this] { return !screen.searchBusy() && !screen.tableBusy() && !screen.hud(); }, 30000));
    }
    void search(const QString &query)
    {
        screen.setSearchText(query);
        screen.searchBarSearchButtonClicked();
        waitIdle();
    }
    int albumRow(const QString &id) const
    {
        for (int i = 0; i < Stores::albums().size(); ++i) {
            if (Stores::albums().at(i).albumId == id)
                return i;
        }
        return -1;
    }

    QTemporaryDir root;
    Audio_Albums screen;
    OverlayLog overlays;
};

TEST_F(AudioAlbumsTest, SignedOutSeesTheErrorAndTheQueryIsNotWritten)
{
    Stores::albums().append(AlbumRecord{"Старый", "Альбом", "1"});
    screen.setSearchText(QStringLiteral("Greatest"));
    screen.searchBarSearchButtonClicked();
    EXPECT_TRUE(screen.searchBusy());
    screen.searchBarSearchButtonClicked(); // busy: ignored
    waitIdle();
    EXPECT_EQ(overlays.labels, QStringList({"Ошибка"}));
    EXPECT_EQ(overlays.details, QStringList({"Не выполнен вход"}));
    EXPECT_EQ(overlays.minShowTimes, QList<float>({2.0f}));
    EXPECT_FALSE(QFileInfo::exists(screen.requestFile()));
    EXPECT_FALSE(SandboxLastfm::lastRequest(sandbox, "album.search").has_value());
    EXPECT_EQ(Stores::albums().size(), 1); // nothing else happens
}

TEST_F(AudioAlbumsTest, SearchListsTheAlbumsAndRemembersTheQuery)
{
    signIn();
    QSignalSpy scrolled(&screen, &Audio_Albums::scrollToRow);
    search(QStringLiteral("Greatest"));
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск...", "Разбор данных...", "Завершено"}));
    EXPECT_EQ(overlays.details, QStringList({"Найдено муз. альбомов: 3"}));
    EXPECT_EQ(overlays.minShowTimes, QList<float>({1.0f}));
    ASSERT_EQ(Stores::albums().size(), 3);
    EXPECT_EQ(screen.albums()->rowCount(), 3);
    EXPECT_EQ(screen.albums()->data(screen.albums()->index(1), AlbumRecordModel::ArtistRole).toString(),
              Stores::albums().at(1).artist);
    ASSERT_EQ(scrolled.count(), 1);
    EXPECT_EQ(scrolled.at(0), QVariantList({0, int(Audio_Albums::Top), true}));
    EXPECT_EQ(PropertyList::readRequest(screen.requestFile()).value_or(QString()),
              QStringLiteral("Greatest"));

    // A restart shows the last query in the field.
    Audio_Albums again;
    again.viewWillAppear();
    EXPECT_EQ(again.searchText(), QStringLiteral("Greatest"));
}

TEST_F(AudioAlbumsTest, ErrorsZeroResultsAndBrokenAnswersShowNoAlbums)
{
    signIn();
    SandboxLastfm::setCannedAnswer(sandbox,
                                   "/2.0/?format=json&method=album.search&api_key=" + key + "&album=broken",
                                   "{\"results\":{\"opensearch:totalResults\":\"2\",\"albummatches\":{"
                                   "\"album\":[{\"name\":\"A\",\"artist\":"
                                   "\"B\",\"id\":\"1\"},{\"name\":\"C\",\"id\":\"2\"}]}}}");
    struct Case
    {
        QString query;
        int errorLines;
    };
    const Case cases[] = {{"", 0}, {"ничего похожего", 0}, {"broken", 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        Stores::albums().append(AlbumRecord{"Старый", "Альбом", "1"});
        overlays.details.clear();
        TestSupport::LogCapture log;
        search(c.query);
        EXPECT_TRUE(Stores::albums().isEmpty());
        EXPECT_EQ(overlays.details, QStringList({"Найдено муз. альбомов: 0"}));
        EXPECT_EQ(log.count(errorLine), c.errorLines);
    }
}

TEST_F(AudioAlbumsTest, AnAlbumsTracksOpenTheSearchScreenInAlbumMode)
{
    signIn();
    search(QStringLiteral("Greatest"));
    const int row = albumRow(QStringLiteral("2001"));
    ASSERT_GE(row, 0);
    const SandboxAlbum queen = SandboxLastfm::albumsOf(sandbox).front();
    ASSERT_EQ(queen.id, "2001");
    overlays.labels.clear();
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    QSignalSpy scrolled(&screen, &Audio_Albums::scrollToRow);
    screen.rowSelected(row);
    screen.rowSelected(row); // one look-up at a time
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.count() == 1; }, 30000));
    waitIdle();
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), QStringLiteral("Greatest Hits"));
    EXPECT_EQ(scrolled.at(0), QVariantList({row, int(Audio_Albums::Middle), true}));
    EXPECT_EQ(screen.selectedAlbumId(), QStringLiteral("2001"));

    QStringList expectedLabels = {"Выполняется поиск...", "Разбор данных..."};
    QStringList tracks;
    for (size_t k = 0; k < queen.tracks.size(); ++k) {
        expectedLabels << QStringLiteral("Поиск: %1 из %2").arg(k + 1).arg(queen.tracks.size());
        tracks << QString::fromStdString(queen.tracks[k].first + " - " + queen.tracks[k].second);
    }
    EXPECT_EQ(overlays.labels, expectedLabels);
    EXPECT_EQ(screen.albumAudioArray(), tracks);
    QStringList found;
    for (const AudioRecord &r : std::as_const(Stores::audioFound().records()))
        found << r.artist + " - " + r.title;
    EXPECT_EQ(found, tracks);

    // The search screen shows them as an album: queue one, then all.
    Audio_Search search;
    search.setTitle(opened.at(0).at(0).toString());
    // The view draws its rows before the screen appears: the last one loads no further page.
    const int offset = global->audioSearchOffset;
    search.viewDidLoad();
    search.cellShown(int(tracks.size()) - 1);
    EXPECT_EQ(search.hud(), nullptr);
    EXPECT_EQ(global->audioSearchOffset, offset);
    search.viewWillAppear();
    EXPECT_FALSE(search.inputEnabled());
    EXPECT_EQ(search.placeholder(), QStringLiteral("Альбом: Greatest Hits"));
    ASSERT_EQ(search.records()->rowCount(), tracks.size());
    search.cellShown(int(tracks.size()) - 1);
    EXPECT_FALSE(search.addingRecords()); // no further pages of an album
    search.accessoryButtonTapped(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !search.tableBusy() && !search.hud(); }));
    search.addAllRecordsToQueue();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !search.tableBusy() && !search.hud(); }));
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).size(), tracks.size());
    for (qsizetype i = 0; i < tracks.size(); ++i)
        EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).at(i).name, tracks.at(i));
    EXPECT_EQ(DownloadQueue::shared().count(), tracks.size());
}

TEST_F(AudioAlbumsTest, AnAlbumWithoutTracksOpensAnEmptyList)
{
    signIn();
    search(QStringLiteral("Тишина"));
    ASSERT_EQ(Stores::albums().size(), 1);
    Stores::audioFound().append(AudioRecord{"1:00", "http://x/1.mp3", "T", "A", "1", "1", "2"});
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    overlays.labels.clear();
    TestSupport::LogCapture log;
    screen.rowSelected(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.count() == 1; }, 30000));
    waitIdle();
    EXPECT_EQ(opened.at(0).at(0).toString(), QStringLiteral("Тишина"));
    EXPECT_TRUE(Stores::audioFound().isEmpty());
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск...", "Разбор данных..."}));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(SandboxAudio::lastRequest(sandbox, "search").has_value());
}

TEST_F(AudioAlbumsTest, TwoExactMatchesTakeTheLaterAndAMissingTrackAddsNothing)
{
    signIn();
    const std::string tracks =
        "/2.0/?format=json&method=playlist.fetch&playlistURL=lastfm://playlist/album/77&api_key=" + key;
    SandboxLastfm::setCannedAnswer(
        sandbox, tracks,
        "{\"playlist\":{\"trackList\":{\"track\":[{\"title\":\"Twin\",\"creator\":\"Band\"},"
        "{\"title\":\"Nowhere\",\"creator\":\"Band\"},{\"title\":\"Close\",\"creator\":\"Band\"}]}}}");
    // The service's answers for the three look-ups: two exact hits; none; a near hit after another one.
    SandboxAudio hits;
    hits.catalogue = {{"-5", "101", "Band", "Twin", 100, false, false},
                      {"-5", "102", "Other", "Twin", 100, false, false},
                      {"-5", "103", "Band", "Twin", 100, false, false}};
    const std::string base = sandbox.baseUrl();
    const auto searchTarget = [](const QString &text) {
        return "/al_search.php?al=1&c[section]=audio&c[q]=" + Text::escapeQuery(text).toStdString() +
               "&offset=0&c[sort]=2";
    };
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("Band - Twin"),
                                  SandboxAudio::searchAnswer(hits, base, "", 0, 0));
    SandboxAudio near;
    near.catalogue = {{"-5", "201", "Someone", "Close Call", 100, false, false},
                      {"-5", "202", "band", "close", 100, false, false}};
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("Band - Close"),
                                  SandboxAudio::searchAnswer(near, base, "", 0, 0));

    Stores::albums().append(AlbumRecord{"Pairs", "Band", "77"});
    screen.viewWillAppear();
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    screen.rowSelected(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.count() == 1; }, 30000));
    waitIdle();
    QStringList aids;
    for (const AudioRecord &r : std::as_const(Stores::audioFound().records()))
        aids << r.aid;
    EXPECT_EQ(aids, QStringList({"103", "201"}));
}

TEST_F(AudioAlbumsTest, AnUnreadableTrackListOpensAnEmptyListAfterOneLogLine)
{
    signIn();
    SandboxLastfm::setCannedAnswer(
        sandbox,
        "/2.0/?format=json&method=playlist.fetch&playlistURL=lastfm://playlist/album/78&api_key=" + key,
        "{\"playlist\":{\"trackList\":{\"track\":[{\"title\":\"A\",\"creator\":\"B\"},{\"title\":\"C\"}]}}}");
    Stores::albums().append(AlbumRecord{"Broken", "Band", "78"});
    Stores::audioFound().append(AudioRecord{"1:00", "http://x/1.mp3", "T", "A", "1", "1", "2"});
    screen.viewWillAppear();
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    TestSupport::LogCapture log;
    screen.rowSelected(0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.count() == 1; }, 30000));
    waitIdle();
    EXPECT_TRUE(Stores::audioFound().isEmpty());
    EXPECT_EQ(log.count(errorLine), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), QStringLiteral("Broken"));
}

TEST_F(AudioAlbumsTest, NoAnswerSaysTheServiceIsUnavailableAndChangesNothing)
{
    signIn();
    search(QStringLiteral("Greatest"));
    const QList<AlbumRecord> albums = Stores::albums().records();
    ASSERT_EQ(albums.size(), 3);
    const AudioRecord shown{"1:00", "http://x/1.mp3", "Shown", "Before", "1", "1", "2"};
    Stores::audioFound().assign({shown});
    sandbox.stop();

    // The album search: the usual wait and "Разбор данных...", then the error; the list stays.
    overlays.labels.clear();
    overlays.details.clear();
    search(QStringLiteral("Greatest"));
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск...", "Разбор данных...", "Ошибка"}));
    EXPECT_EQ(overlays.details, QStringList({"Сервис недоступен"}));
    ASSERT_EQ(Stores::albums().size(), albums.size());
    EXPECT_EQ(Stores::albums().records().first().albumId, albums.first().albumId);
    EXPECT_EQ(screen.albums()->rowCount(), albums.size());

    // An album's track list: no search screen, whose list stays.
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    overlays.labels.clear();
    overlays.details.clear();
    screen.rowSelected(0);
    waitIdle();
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск...", "Разбор данных...", "Ошибка"}));
    EXPECT_EQ(overlays.details, QStringList({"Сервис недоступен"}));
    EXPECT_EQ(opened.count(), 0);
    ASSERT_EQ(Stores::audioFound().size(), 1);
    EXPECT_EQ(Stores::audioFound().records().first().title, shown.title);
}

TEST_F(AudioAlbumsTest, ATrackSearchThatGotNoAnswerEndsTheAlbumThere)
{
    // Last.fm answers from another server; the service stops answering after the sign-in.
    Sandbox lastfm;
    ASSERT_TRUE(lastfm.start());
    signIn();
    ServiceEndpoints::current().lastfmBase = QString::fromStdString(lastfm.baseUrl()) + "/lastfm";
    search(QStringLiteral("Greatest"));
    const int row = albumRow(QStringLiteral("2001"));
    ASSERT_GE(row, 0);
    const AudioRecord shown{"1:00", "http://x/1.mp3", "Shown", "Before", "1", "1", "2"};
    Stores::audioFound().assign({shown});
    sandbox.stop();

    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    overlays.labels.clear();
    overlays.details.clear();
    screen.rowSelected(row);
    waitIdle();
    const qsizetype n = qsizetype(SandboxLastfm::albumsOf(lastfm).front().tracks.size());
    ASSERT_GT(n, 1);
    // The first search got no answer: no second one, no album with tracks missing.
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск...", "Разбор данных...",
                                       QStringLiteral("Поиск: 1 из %1").arg(n), "Ошибка"}));
    EXPECT_EQ(overlays.details, QStringList({"Сервис недоступен"}));
    EXPECT_EQ(opened.count(), 0);
    ASSERT_EQ(Stores::audioFound().size(), 1);
    EXPECT_EQ(Stores::audioFound().records().first().title, shown.title);
    ServiceEndpoints::useServiceBase(QString::fromStdString(lastfm.baseUrl()));
}

TEST_F(AudioAlbumsTest, TheSearchScreenOpenedAfterAnAlbumAppendsNoPageOfAnOldQuery)
{
    signIn();
    search(QStringLiteral("Greatest"));
    const int row = albumRow(QStringLiteral("2001"));
    ASSERT_GE(row, 0);
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    screen.rowSelected(row);
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.count() == 1; }, 30000));
    waitIdle();
    const qsizetype tracks = Stores::audioFound().size();
    ASSERT_GT(tracks, 0);

    // Later "Поиск" from the menu, with an older query remembered: the album's tracks, and nothing more.
    Audio_Search search;
    search.setTitle(QStringLiteral("Поиск"));
    PropertyList::writeRequest(search.requestFile(), QStringLiteral("old query"));
    search.viewDidLoad();
    search.viewWillAppear();
    EXPECT_TRUE(search.inputEnabled());
    EXPECT_EQ(search.searchText(), QStringLiteral("old query"));
    search.cellShown(int(tracks) - 1);
    EXPECT_FALSE(search.addingRecords());
    EXPECT_EQ(search.hud(), nullptr);
    EXPECT_EQ(Stores::audioFound().size(), tracks);
}

} // namespace
