#include "../support/ResultsScreens.h"

#include "core/PropertyList.h"
#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxLastfm.h"
#include "screens/Audio_Albums.h"

#include <QSignalSpy>

namespace {

using namespace TestSupport;

const QString errorLine = QStringLiteral("Отлавливай ошибки, будь мужиком, блеать!");
const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

class AudioAlbumsTest : public ResultsScreenTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ResultsScreenTest::SetUp());
        open(screen, QStringLiteral("Альбомы"));
    }
    void search(const QString &query) { ResultsScreenTest::search(screen, query); }
    static int albumRow(const QString &id)
    {
        return int(column(Stores::albums().records(), &AlbumRecord::albumId).indexOf(id));
    }
    // Opens the album of `row` and waits until the search screen is asked for; false when it never is.
    bool openAlbum(int row, QSignalSpy &opened)
    {
        screen.rowSelected(row);
        const bool asked = waitFor([&] { return opened.count() == 1; }, 30000);
        waitIdle(screen);
        return asked;
    }

    Audio_Albums screen;
};

TEST_F(AudioAlbumsTest, SignedOutSeesTheErrorAndTheQueryIsNotWritten)
{
    Stores::albums().append(AlbumRecord{"Старый", "Альбом", "1"});
    expectSignedOutSearchRefused(screen, screen.requestFile());
    EXPECT_EQ(Stores::albums().size(), 1); // nothing else happens
}

TEST_F(AudioAlbumsTest, SearchListsTheAlbumsAndRemembersTheQuery)
{
    signIn();
    QSignalSpy scrolled(&screen, &Audio_Albums::scrollToRow);
    search(QStringLiteral("Greatest"));
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Разбор данных...", "Завершено"}));
    EXPECT_EQ(log.details, QStringList({"Найдено муз. альбомов: 3"}));
    EXPECT_EQ(log.minShowTimes, QList<float>({1.0f}));
    ASSERT_EQ(Stores::albums().size(), 3);
    EXPECT_EQ(screen.albums()->rowCount(), 3);
    EXPECT_EQ(screen.albums()->data(screen.albums()->index(1), AlbumRecordModel::ArtistRole).toString(),
              Stores::albums().at(1).artist);
    EXPECT_EQ(scrolled, QList<QVariantList>({{0, int(Audio_Albums::Top), true}}));
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
    // Each query with the error lines it logs.
    for (const auto &[query, errorLines] : {std::pair{"", 0}, {"ничего похожего", 0}, {"broken", 1}}) {
        SCOPED_TRACE(query);
        Stores::albums().append(AlbumRecord{"Старый", "Альбом", "1"});
        log.details.clear();
        LogCapture errors;
        search(QString::fromUtf8(query));
        EXPECT_TRUE(Stores::albums().isEmpty());
        EXPECT_EQ(log.details, QStringList({"Найдено муз. альбомов: 0"}));
        EXPECT_EQ(errors.count(errorLine), errorLines);
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
    log.labels.clear();
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    QSignalSpy scrolled(&screen, &Audio_Albums::scrollToRow);
    screen.rowSelected(row); // one look-up at a time: the second tap is ignored
    ASSERT_TRUE(openAlbum(row, opened));
    EXPECT_EQ(opened, QList<QVariantList>({{"Greatest Hits"}}));
    EXPECT_EQ(scrolled.at(0), QVariantList({row, int(Audio_Albums::Middle), true}));
    EXPECT_EQ(screen.selectedAlbumId(), QStringLiteral("2001"));

    QStringList expectedLabels = {"Выполняется поиск...", "Разбор данных..."};
    QStringList tracks;
    for (size_t k = 0; k < queen.tracks.size(); ++k) {
        expectedLabels << QStringLiteral("Поиск: %1 из %2").arg(k + 1).arg(queen.tracks.size());
        tracks << QString::fromStdString(queen.tracks[k].first + " - " + queen.tracks[k].second);
    }
    EXPECT_EQ(log.labels, expectedLabels);
    EXPECT_EQ(screen.albumAudioArray(), tracks);
    QStringList found;
    for (const AudioRecord &r : std::as_const(Stores::audioFound().records()))
        found << r.artist + " - " + r.title;
    EXPECT_EQ(found, tracks);

    // The search screen shows them as an album, whatever query it remembers.
    Audio_Search search;
    search.setTitle(opened.at(0).at(0).toString());
    PropertyList::writeRequest(search.requestFile(), "old query");
    // The view draws its rows before the screen appears: the last one loads no further page.
    const int offset = global->audioSearchOffset;
    search.viewDidLoad();
    search.cellShown(int(tracks.size()) - 1);
    EXPECT_EQ(search.hud(), nullptr);
    EXPECT_EQ(global->audioSearchOffset, offset);
    search.viewWillAppear();
    EXPECT_FALSE(search.inputEnabled());
    EXPECT_TRUE(search.searchText().isEmpty());
    EXPECT_EQ(search.placeholder(), QStringLiteral("Альбом: Greatest Hits"));
    ASSERT_EQ(search.records()->rowCount(), tracks.size());
    search.cellShown(int(tracks.size()) - 1);
    EXPECT_FALSE(search.addingRecords()); // no further pages of an album

    // Later "Поиск" from the menu, with the older query: the album's tracks, and no page of that query.
    Audio_Search later;
    later.setTitle(QStringLiteral("Поиск"));
    later.viewDidLoad();
    later.viewWillAppear();
    EXPECT_TRUE(later.inputEnabled());
    EXPECT_EQ(later.searchText(), QStringLiteral("old query"));
    later.cellShown(int(tracks.size()) - 1);
    EXPECT_FALSE(later.addingRecords());
    EXPECT_EQ(later.hud(), nullptr);
    EXPECT_EQ(Stores::audioFound().size(), tracks.size());
}

// An album without tracks opens an empty list quietly; a track list that cannot be read, after one log line.
// Neither searches the service.
TEST_F(AudioAlbumsTest, AnAlbumWithoutTracksOrAnUnreadableTrackListOpensAnEmptyList)
{
    signIn();
    SandboxLastfm::setCannedAnswer(
        sandbox,
        "/2.0/?format=json&method=playlist.fetch&playlistURL=lastfm://playlist/album/78&api_key=" + key,
        "{\"playlist\":{\"trackList\":{\"track\":[{\"title\":\"A\",\"creator\":\"B\"},{\"title\":\"C\"}]}}}");
    // Each album with the error lines opening it logs.
    for (const auto &[album, errorLines] :
         {std::pair{AlbumRecord{"Тишина", "Сплин", "2006"}, 0}, {AlbumRecord{"Broken", "Band", "78"}, 1}}) {
        SCOPED_TRACE(album.name.toStdString());
        Stores::albums().assign({album});
        Stores::audioFound().assign({audioBefore});
        screen.viewWillAppear();
        QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
        log.labels.clear();
        LogCapture errors;
        ASSERT_TRUE(openAlbum(0, opened));
        EXPECT_EQ(opened, QList<QVariantList>({{album.name}}));
        EXPECT_TRUE(Stores::audioFound().isEmpty());
        EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Разбор данных..."}));
        EXPECT_EQ(errors.lines().size(), errorLines);
        EXPECT_EQ(errors.count(errorLine), errorLines);
    }
    EXPECT_FALSE(SandboxAudio::lastRequest(sandbox, "search").has_value());
}

TEST_F(AudioAlbumsTest, NoAnswerSaysTheServiceIsUnavailableAndChangesNothing)
{
    signIn();
    search(QStringLiteral("Greatest"));
    const QStringList albums = column(Stores::albums().records(), &AlbumRecord::albumId);
    ASSERT_EQ(albums.size(), 3);
    Stores::audioFound().assign({audioBefore});
    sandbox.stop();

    // The album search, then a track list: "Разбор данных..." and the error; both lists stay, nothing opens.
    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    for (const bool album : {false, true}) {
        SCOPED_TRACE(album ? "track list" : "album search");
        log = {};
        album ? screen.rowSelected(0) : search(QStringLiteral("Greatest"));
        waitIdle(screen);
        EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Разбор данных...", "Ошибка"}));
        EXPECT_EQ(log.details, QStringList({"Сервис недоступен"}));
        EXPECT_EQ(column(Stores::albums().records(), &AlbumRecord::albumId), albums);
        EXPECT_EQ(screen.albums()->rowCount(), albums.size());
        EXPECT_EQ(opened.count(), 0);
        EXPECT_EQ(column(Stores::audioFound().records(), &AudioRecord::title),
                  QStringList({audioBefore.title}));
    }
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
    Stores::audioFound().assign({audioBefore});
    sandbox.stop();

    QSignalSpy opened(&screen, &Audio_Albums::openFoundAlbum);
    log = {};
    screen.rowSelected(row);
    waitIdle(screen);
    const qsizetype n = qsizetype(SandboxLastfm::albumsOf(lastfm).front().tracks.size());
    ASSERT_GT(n, 1);
    // The first search got no answer: no second one, no album with tracks missing.
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Разбор данных...",
                                       QStringLiteral("Поиск: 1 из %1").arg(n), "Ошибка"}));
    EXPECT_EQ(log.details, QStringList({"Сервис недоступен"}));
    EXPECT_EQ(opened.count(), 0);
    EXPECT_EQ(column(Stores::audioFound().records(), &AudioRecord::title), QStringList({audioBefore.title}));
    ServiceEndpoints::useServiceBase(QString::fromStdString(lastfm.baseUrl()));
}

} // namespace
