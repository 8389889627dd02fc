#include "screens/AudioResults.h"

#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/PropertyList.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Text.h"
#include "downloads/DownloadQueue.h"
#include "playback/AudioPlayer.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>
#include <QThreadPool>

AudioResults::AudioResults(Kind kind, QObject *parent)
    : RecordResultsScreen(kind, parent), m_model(new AudioRecordModel(&store(), this))
{}

AudioResults::~AudioResults()
{
    closePreview();
}

AudioRecordStore &AudioResults::store() const
{
    switch (m_kind) {
    case Personal:
        return Stores::audioPersonal();
    case Group:
        return Stores::audioGroup();
    case Recommended:
        return Stores::audioRecommended();
    case Search:
        break;
    }
    return Stores::audioFound();
}

QString AudioResults::requestFile() const
{
    static const char *const names[] = {"AudioSearchRequest.tune", "AudioPersonalRequest.tune",
                                        "AudioGroupRequest.tune", "AudioRecommendedRequest.tune"};
    return StorageLayout::getRootDir() + QLatin1Char('/') + QString::fromLatin1(names[m_kind]);
}

void AudioResults::setInputEnabled(bool enabled)
{
    if (enabled == m_inputEnabled)
        return;
    m_inputEnabled = enabled;
    Q_EMIT inputEnabledChanged();
}

void AudioResults::viewDidLoad()
{
    m_selectedSong = AudioRecord{};
}

void AudioResults::viewWillAppear()
{
    m_appeared = true;
    const GlobalData *global = GlobalData::sharedGlobalData();
    auto restoreRequest = [this] {
        if (const std::optional<QString> text = PropertyList::readRequest(requestFile()))
            setSearchText(*text);
    };
    auto selfPlaceholder = [this, global] {
        setPlaceholder(global->vksid().isEmpty() ? tr("ID пользователя (ваш - неизвестен)")
                                                 : tr("ID пользователя (ваш - %1)").arg(global->vkuid()));
    };
    switch (m_kind) {
    case Search:
        restoreRequest();
        if (title() != QCoreApplication::translate("CatalogueMenu", "Поиск")) {
            // Album mode: the list holds an album's tracks, found by the album screen.
            setInputEnabled(false);
            setSearchText(QString());
            setPlaceholder(tr("Альбом: %1").arg(title()));
        }
        setAddingRecords(false);
        setSortEnabled(true);
        break;
    case Personal:
    case Recommended:
        selfPlaceholder();
        restoreRequest();
        break;
    case Group:
        restoreRequest();
        break;
    }
}

void AudioResults::searchBarSearchButtonClicked()
{
    Q_EMIT keyboardDismissed();
    if (searchBusy())
        return;
    setSearchBusy(true);
    const GlobalData *global = GlobalData::sharedGlobalData();
    if (global->vksid().isEmpty()) {
        showOverlay(tr("Ошибка"), tr("Не выполнен вход"), 2.0f, true,
                    [](ProgressOverlay *) { Pacing::pause(1); });
        return;
    }
    if (m_kind == Group || m_kind == Recommended)
        store().clear();
    const QString text = searchText();
    const int sort = sortIndex();
    showOverlay(tr("Выполняется поиск..."), QString(), 1.0f, false,
                [link = Link(this), kind = m_kind, text, sort](ProgressOverlay *hud) {
                    doAudioSearch(link, hud, kind, text, sort);
                });
    PropertyList::writeRequest(requestFile(), text);
}

void AudioResults::doAudioSearch(const Link &link, ProgressOverlay *hud, Kind kind, const QString &text,
                                 int sort)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (kind == Search) {
        const ServiceAnswer<QStringList> riaa = VKontakteWorks::getRiaaList();
        bool refused = false;
        const bool present = link.run([&](AudioResults &screen) {
            global->audioRiaaArray.clear();
            if (riaa)
                global->audioRiaaArray.append(*riaa);
            screen.store().clear();
            global->audioSearchOffset = 0;
            refused = !global->audioRiaaArray.isEmpty() &&
                      VKontakteWorks::riaaRefuses(global->audioRiaaArray, text);
        });
        if (!present)
            return;
        if (refused) {
            Pacing::pause(1);
            hud->setMode(ProgressOverlay::CustomView);
            hud->setLabelText(tr("Ошибка"));
            hud->setDetailsLabelText(tr("Поиск ограничен правообладателями"));
            Pacing::pause(1);
            return;
        }
        const ServiceAnswer<QList<AudioRecord>> answer = VKontakteWorks::searchAudioWithOffset(text, 0, sort);
        if (answer.noAnswer()) {
            hud->reportServiceUnavailable();
            return;
        }
        const QList<AudioRecord> found = answer.value_or({});
        link.run([&](AudioResults &screen) {
            if (found.size() % 100 != 0)
                global->audioSearchOffset = lastPageOffset; // a short page is the last one
            screen.store().append(found);
            screen.showNewResults();
        });
        return;
    }

    const bool present = link.run([](AudioResults &screen) { screen.store().clear(); });
    if (!present)
        return;
    const int requestKind = kind == Personal ? 0 : kind == Group ? 1 : 2;
    const ServiceAnswer<QList<AudioRecord>> answer = VKontakteWorks::getAudioWithJSON(text, requestKind);
    if (answer.noAnswer()) {
        hud->reportServiceUnavailable();
        return;
    }
    const QList<AudioRecord> loaded = answer.value_or({});
    qsizetype count = 0;
    if (!link.run([&](AudioResults &screen) {
            screen.store().append(loaded);
            count = screen.store().size();
        }))
        return;
    if (kind == Recommended) {
        link.run([](AudioResults &screen) { screen.showNewResults(); });
        return;
    }
    Pacing::pause(1);
    // The rows are in: from here on the overlay only reports, over a list that can be used already.
    if (!link.run([](AudioResults &screen) { screen.showNewResults(); }))
        return;
    hud->becomeNotice();
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(tr("Завершено"));
    hud->setDetailsLabelText(tr("Найдено аудиозаписей: %1").arg(count));
    Pacing::pause(1);
}

void AudioResults::doAudioSearchOffset(const Link &link, ProgressOverlay *hud, const QString &text, int sort)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    int offset = 0;
    if (!link.run([&](AudioResults &) { offset = global->audioSearchOffset; }))
        return;
    const ServiceAnswer<QList<AudioRecord>> answer =
        VKontakteWorks::searchAudioWithOffset(text, offset * 100, sort);
    if (answer.noAnswer()) {
        // The page was never read: the position goes back, so that the next scroll asks for it again.
        if (!link.run([&](AudioResults &) {
                if (global->audioSearchOffset == offset)
                    global->audioSearchOffset = offset - 1;
            }))
            return;
        hud->reportServiceUnavailable();
        link.run([](AudioResults &screen) { screen.setAddingRecords(false); });
        return;
    }
    const QList<AudioRecord> found = answer.value_or({});
    if (!link.run([&](AudioResults &screen) {
            if (found.size() % 100 != 0)
                global->audioSearchOffset = lastPageOffset;
            screen.store().append(found);
        }))
        return;
    Pacing::pause(1);
    link.run([](AudioResults &screen) { screen.setAddingRecords(false); });
}

void AudioResults::showNewResults()
{
    // A new list starts at its first row; further pages and a return to the screen keep the place.
    if (!store().isEmpty())
        Q_EMIT scrollToRow(0, Top, m_kind != Search);
}

void AudioResults::cellShown(int row)
{
    // Rows drawn before the first appearance show a list the screen has not taken up yet: whether it is an
    // album's (which loads no further pages) is decided on appearing.
    if (!m_appeared || m_kind != Search || row != store().size() - 1)
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->audioSearchOffset >= 9 || !m_inputEnabled || addingRecords())
        return;
    setAddingRecords(true);
    global->audioSearchOffset += 1;
    const QString text = searchText();
    const int sort = sortIndex();
    showOverlay(tr("Добавление записей..."), QString(), 1.0f, false,
                [link = Link(this), text, sort](ProgressOverlay *hud) {
                    doAudioSearchOffset(link, hud, text, sort);
                });
}

bool AudioResults::isOwnRecord(const AudioRecord &record)
{
    return record.oid == GlobalData::sharedGlobalData()->vkuid();
}

void AudioResults::rowSelected(int row)
{
    if (row < 0 || row >= store().size())
        return;
    if (AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer)
        player->pause();
    Q_EMIT scrollToRow(row, Middle, true);
    m_selectedSong = store().at(row);
    closePreview();
    m_miniPlayer = new MpvPlayer(this);
    m_miniPlayer->load(m_selectedSong.url, true);
    Q_EMIT miniPlayerChanged();
    Q_EMIT alertRequested(QStringLiteral("\n\n%1").arg(m_selectedSong.title), m_selectedSong.artist,
                          {tr("Закрыть"), isOwnRecord(m_selectedSong) ? tr("Удалить") : tr("Добавить")},
                          PreviewAlert);
}

void AudioResults::closePreview()
{
    if (MpvPlayer::release(m_miniPlayer))
        Q_EMIT miniPlayerChanged();
}

void AudioResults::alertAnswered(int tag, int index)
{
    if (tag == PreviewAlert) {
        if (index == 1) {
            const bool own = isOwnRecord(m_selectedSong);
            Q_EMIT alertRequested(tr("Предупреждение"),
                                  own ? tr("Вы уверены, что хотите удалить запись со своей страницы "
                                           "ВКонтакте? Это действие не удаляет "
                                           "запись из устройства.")
                                      : tr("Вы уверены, что хотите добавить запись к себе на страницу "
                                           "ВКонтакте? Это действие не "
                                           "сохраняет запись в устройство."),
                                  {tr("Отмена"), tr("Да, уверен")}, ConfirmationAlert);
        }
        closePreview();
        return;
    }
    if (tag == ConfirmationAlert && index == 1) {
        const AudioRecord record = m_selectedSong;
        const bool own = isOwnRecord(record);
        QPointer<AudioResults> self(this);
        // Sent without an overlay: the screen stays usable while the request runs.
        QThreadPool::globalInstance()->start([record, own, self] {
            if (own)
                VKontakteWorks::delAudio(record.aid, record.oid);
            else
                VKontakteWorks::addAudio(record.aid, record.oid);
            QMetaObject::invokeMethod(
                qApp,
                [self] {
                    if (self)
                        Q_EMIT self->pageChangeSent();
                },
                Qt::QueuedConnection);
        });
    }
}

QueueItem AudioResults::queueItemFor(const AudioRecord &record) const
{
    QueueItem item;
    item.name = QStringLiteral("%1 - %2").arg(record.artist, record.title);
    item.url = record.url;
    item.tag = record.tag.toInt();
    return item;
}

void AudioResults::accessoryButtonTapped(int row)
{
    if (tableBusy() || row < 0 || row >= store().size())
        return;
    Q_EMIT scrollToRow(row, Middle, true);
    overlays()->notice(tr("Уведомление"), tr("Запись добавлена в очередь"), 1.0f);
    DownloadQueue::shared().append(DownloadQueue::Audio, queueItemFor(store().at(row)));
    store().removeAt(row);
}

void AudioResults::addAllRecordsToQueue()
{
    if (tableBusy())
        return;
    overlays()->notice(tr("Уведомление"), tr("Все записи добавлены в очередь"), 1.0f);
    QList<QueueItem> items;
    items.reserve(store().size());
    for (const AudioRecord &record : store().records())
        items.append(queueItemFor(record));
    DownloadQueue::shared().append(DownloadQueue::Audio, items);
    store().clear();
}

void AudioResults::clearRecordsTable()
{
    store().clear();
}

void AudioResults::setSelfId()
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    if (global->vksid().isEmpty())
        return;
    setSearchText(global->vkuid());
    searchBarSearchButtonClicked();
}

void AudioResults::searchBarTextDidBeginEditing()
{
    if (m_kind != Search || m_sortVisible)
        return;
    m_sortVisible = true;
    Q_EMIT sortVisibleChanged();
}

void AudioResults::searchBarTextDidEndEditing()
{
    if (m_kind != Search || !m_sortVisible)
        return;
    m_sortVisible = false;
    Q_EMIT sortVisibleChanged();
}

void AudioResults::searchBarCancelButtonClicked()
{
    Q_EMIT keyboardDismissed();
}

void AudioResults::scrollStopped(qreal offsetX)
{
    const int page = offsetX > 0 ? 1 : 0;
    if (page == m_pageIndex)
        return;
    m_pageIndex = page;
    Q_EMIT pageIndexChanged();
}
