#include "screens/Audio_Albums.h"

#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/PropertyList.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "screens/AudioResults.h"
#include "service/LastFm.h"
#include "service/Session.h"

Audio_Albums::Audio_Albums(QObject *parent)
    : ResultsScreen(parent), m_model(new AlbumRecordModel(&Stores::albums(), this))
{}

QString Audio_Albums::requestFile() const
{
    return StorageLayout::getRootDir() + QStringLiteral("/AudioAlbumsRequest.tune");
}

void Audio_Albums::viewDidLoad() {}

void Audio_Albums::viewWillAppear()
{
    if (const std::optional<QString> text = PropertyList::readRequest(requestFile()))
        setSearchText(*text);
}

void Audio_Albums::searchBarSearchButtonClicked()
{
    Q_EMIT keyboardDismissed();
    if (searchBusy())
        return;
    setSearchBusy(true);
    if (GlobalData::sharedGlobalData()->vksid().isEmpty()) {
        showOverlay(tr("Ошибка"), tr("Не выполнен вход"), 2.0f, true,
                    [](ProgressOverlay *) { Pacing::pause(1); });
        return;
    }
    // The list is replaced once an answer is in: a search that nobody answered changes nothing.
    const QString query = searchText();
    showOverlay(tr("Выполняется поиск..."), QString(), 1.0f, false,
                [link = Link(this), query](ProgressOverlay *hud) { doAlbumsSearch(link, hud, query); });
    PropertyList::writeRequest(requestFile(), query);
}

void Audio_Albums::searchBarCancelButtonClicked()
{
    Q_EMIT keyboardDismissed();
}

void Audio_Albums::doAlbumsSearch(const Link &link, ProgressOverlay *hud, const QString &query)
{
    QList<AlbumRecord> found;
    bool answered = true;
    try {
        QString answer;
        try {
            answer = LastFm::albumSearchAnswer(query);
        } catch (const LastFm::NoAnswer &) {
            answered = false;
        }
        Pacing::pause(1);
        hud->setLabelText(tr("Разбор данных..."));
        if (answered)
            found = LastFm::readAlbums(answer);
    } catch (...) {
        // Whatever went wrong, the albums read so far go with it and the search ends as usual.
        Log::line(QString::fromUtf8(Session::errorLogLine));
        found.clear();
    }
    if (!answered) {
        hud->reportServiceUnavailable();
        return;
    }
    qsizetype count = 0;
    if (!link.run([&](Audio_Albums &) {
            Stores::albums().assign(found);
            count = Stores::albums().size();
        }))
        return;
    Pacing::pause(1);
    // The albums show while the count is up, and can be opened at once.
    if (!link.run([](Audio_Albums &screen) { screen.reloadAudioTable(); }))
        return;
    hud->becomeNotice();
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(tr("Завершено"));
    hud->setDetailsLabelText(tr("Найдено муз. альбомов: %1").arg(count));
    Pacing::pause(1);
}

void Audio_Albums::reloadAudioTable()
{
    // The rows are the album store's; a new list starts at its first row.
    if (m_model->rowCount() > 0)
        Q_EMIT scrollToRow(0, Top, true);
}

void Audio_Albums::rowSelected(int row)
{
    const QList<AlbumRecord> &albums = Stores::albums().records();
    // A second look-up while one runs would fill the search screen's list twice over at once.
    if (row < 0 || row >= albums.size() || tableBusy())
        return;
    setTableBusy(true);
    m_selectedAlbumName = albums.at(row).name;
    m_selectedAlbumId = albums.at(row).albumId;
    Q_EMIT scrollToRow(row, Middle, true);
    m_albumAudioArray.clear();
    const QString albumId = m_selectedAlbumId;
    showOverlay(
        tr("Выполняется поиск..."), QString(), 1.0f, false,
        [link = Link(this), albumId](ProgressOverlay *hud) { doAlbumAudioSearch(link, hud, albumId); });
}

namespace {
// Thrown from a step of the track search when its screen is gone: the remaining tracks are not looked up.
struct ScreenGone
{
};
} // namespace

void Audio_Albums::doAlbumAudioSearch(const Link &link, ProgressOverlay *hud, const QString &albumId)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    auto step = [&link](const std::function<void(Audio_Albums &)> &work) {
        if (!link.run(work))
            throw ScreenGone{};
    };
    // The search screen's list as it was, given back when a request gets no answer: an outage changes
    // nothing there.
    QList<AudioRecord> listBefore;
    AudioRecordStore &found = Stores::audioFound();
    if (!link.run([&](Audio_Albums &) { listBefore = found.records(); }))
        return;
    try {
        QString answer;
        bool answered = true;
        try {
            answer = LastFm::trackListAnswer(albumId);
        } catch (const LastFm::NoAnswer &) {
            answered = false;
        }
        Pacing::pause(1);
        hud->setLabelText(tr("Разбор данных..."));
        if (!answered)
            throw LastFm::NoAnswer("no answer to the track list");
        const QStringList tracks = LastFm::readTracks(answer);
        step([&](Audio_Albums &screen) { screen.m_albumAudioArray = tracks; });
        Pacing::pause(1);

        LastFm::TrackSearchSteps steps;
        steps.searching = [&step, hud, &found](int k, int n) {
            step([&found](Audio_Albums &) { found.clear(); });
            hud->setLabelText(tr("Поиск: %1 из %2").arg(k).arg(n));
        };
        steps.found = [&step, &found](const QList<AudioRecord> &hits) {
            step([&found, &hits](Audio_Albums &) { found.append(hits); });
        };
        const QList<AudioRecord> tempSongsArray = LastFm::findTracks(tracks, steps);
        Pacing::pause(1);
        step([&](Audio_Albums &) {
            found.assign(tempSongsArray);
            // The search screen shows an album now: scrolling to its end must not append a page of the
            // query it remembers from before.
            global->audioSearchOffset = AudioResults::lastPageOffset;
        });
    } catch (const ScreenGone &) {
        return;
    } catch (const LastFm::NoAnswer &) {
        // The album is not opened with tracks missing: the overlay says the service is unavailable.
        if (!link.run([&](Audio_Albums &) { found.assign(listBefore); }))
            return;
        hud->reportServiceUnavailable();
        return;
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        if (!link.run([&found](Audio_Albums &) { found.clear(); }))
            return;
    }
    // Posted: the search screen opens while this overlay is still fading.
    link.post([](Audio_Albums &screen) { screen.goToFoundAlbum(); });
}

void Audio_Albums::goToFoundAlbum()
{
    Q_EMIT openFoundAlbum(m_selectedAlbumName);
}
