#include "screens/VideoResults.h"

#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/PropertyList.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Text.h"
#include "downloads/DownloadQueue.h"
#include "service/VKontakteWorks.h"

namespace {

const QString NoMp4 = QStringLiteral("1");
const QString Unusable = QStringLiteral("2");
const int QualityLines[] = {240, 360, 480, 720};
const char *const QualityButtons[] = {
    QT_TRANSLATE_NOOP("VideoResults", "Качество 240"), QT_TRANSLATE_NOOP("VideoResults", "Качество 360"),
    QT_TRANSLATE_NOOP("VideoResults", "Качество 480"), QT_TRANSLATE_NOOP("VideoResults", "Качество 720")};

} // namespace

VideoResults::VideoResults(Kind kind, QObject *parent)
    : RecordResultsScreen(kind, parent), m_model(new VideoRecordModel(&store(), this))
{
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.contains(VideoRecordModel::WatchedRole))
                    Q_EMIT lastWatchedVideoNumberChanged();
            });
}

VideoRecordStore &VideoResults::store() const
{
    switch (m_kind) {
    case Personal:
        return Stores::videoPersonal();
    case Group:
        return Stores::videoGroup();
    case Recommended:
        return Stores::videoRecommended();
    case Search:
        break;
    }
    return Stores::videoFound();
}

QString VideoResults::requestFile() const
{
    static const char *const names[] = {"VideoSearchRequest.tune", "VideoPersonalRequest.tune",
                                        "VideoGroupRequest.tune", "VideoRecommendedRequest.tune"};
    return StorageLayout::getRootDir() + QLatin1Char('/') + QString::fromLatin1(names[m_kind]);
}

QStringList VideoResults::qualityButtons(const QString &address)
{
    int offered = 0;
    if (address.contains(u".360.mp4"))
        offered = 2;
    else if (address.contains(u".480.mp4"))
        offered = 3;
    else if (address.contains(u".720.mp4"))
        offered = 4;
    QStringList buttons{tr("Отмена")};
    for (int i = 0; i < offered; ++i)
        buttons << tr(QualityButtons[i]);
    return buttons;
}

void VideoResults::setQualityIndex(int index)
{
    if (index == m_qualityIndex)
        return;
    m_qualityIndex = index;
    Q_EMIT qualityIndexChanged();
}

void VideoResults::setLastWatched(int row)
{
    m_model->setWatchedRow(row);
}

void VideoResults::viewDidLoad()
{
    m_foundLink.clear();
    setLastWatched(-1);
}

void VideoResults::viewWillAppear()
{
    if (hasSelfButton()) {
        const GlobalData *global = GlobalData::sharedGlobalData();
        setPlaceholder(global->vksid().isEmpty() ? tr("ID пользователя (ваш - неизвестен)")
                                                 : tr("ID пользователя (ваш - %1)").arg(global->vkuid()));
    }
    if (const std::optional<QString> text = PropertyList::readRequest(requestFile()))
        setSearchText(*text);
    if (m_kind == Search) {
        setAddingRecords(false);
        setSortEnabled(true);
    }
}

void VideoResults::searchBarSearchButtonClicked()
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
    if (m_kind == Search)
        setLastWatched(-1);
    const QString text = searchText();
    const int quality = m_qualityIndex;
    const int sort = sortIndex();
    showOverlay(tr("Выполняется поиск..."), QString(), 1.0f, false,
                [link = Link(this), kind = m_kind, text, quality, sort](ProgressOverlay *hud) {
                    doVideoSearch(link, hud, kind, text, quality, sort);
                });
    PropertyList::writeRequest(requestFile(), text);
}

void VideoResults::doVideoSearch(const Link &link, ProgressOverlay *hud, Kind kind, const QString &text,
                                 int quality, int sort)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const bool present = link.run([&](VideoResults &screen) {
        screen.store().clear();
        if (kind == Search)
            global->videoSearchOffset = 0;
    });
    if (!present)
        return;

    if (kind == Search) {
        const ServiceAnswer<QList<VideoRecord>> answer =
            VKontakteWorks::searchVideoWithOffset(text, 0, quality, sort);
        if (answer.noAnswer()) {
            hud->reportServiceUnavailable();
            return;
        }
        const QList<VideoRecord> found = answer.value_or({});
        link.run([&](VideoResults &screen) {
            if (found.size() % pageSize != 0)
                global->videoSearchOffset = 10; // a short page is the last one
            screen.store().append(found);
            screen.showNewResults();
        });
        return;
    }

    const ServiceAnswer<QList<VideoRecord>> answer =
        kind == Recommended ? VKontakteWorks::getVideoRecommendations(text)
                            : VKontakteWorks::getVideoWithJSON(text, kind == Personal ? 0 : 1);
    if (answer.noAnswer()) {
        hud->reportServiceUnavailable();
        return;
    }
    const QList<VideoRecord> loaded = answer.value_or({});
    qsizetype count = 0;
    if (!link.run([&](VideoResults &screen) {
            screen.store().append(loaded);
            count = screen.store().size();
        }))
        return;
    if (kind == Recommended) {
        link.run([](VideoResults &screen) { screen.showNewResults(); });
        return;
    }
    Pacing::pause(1);
    // The rows are in: from here on the overlay only reports, over a list that can be used already.
    if (!link.run([](VideoResults &screen) { screen.showNewResults(); }))
        return;
    hud->becomeNotice();
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(tr("Завершено"));
    hud->setDetailsLabelText(tr("Найдено видеозаписей: %1").arg(count));
    Pacing::pause(1);
}

void VideoResults::doVideoSearchOffset(const Link &link, ProgressOverlay *hud, const QString &text,
                                       int quality, int sort)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    int offset = 0;
    if (!link.run([&](VideoResults &) { offset = global->videoSearchOffset; }))
        return;
    const ServiceAnswer<QList<VideoRecord>> answer =
        VKontakteWorks::searchVideoWithOffset(text, offset * pageSize, quality, sort);
    if (answer.noAnswer()) {
        // The page was never read: the position goes back, so that the next scroll asks for it again.
        if (!link.run([&](VideoResults &) {
                if (global->videoSearchOffset == offset)
                    global->videoSearchOffset = offset - 1;
            }))
            return;
        hud->reportServiceUnavailable();
        link.run([](VideoResults &screen) { screen.setAddingRecords(false); });
        return;
    }
    const QList<VideoRecord> found = answer.value_or({});
    if (!link.run([&](VideoResults &screen) {
            if (found.size() % pageSize != 0)
                global->videoSearchOffset = 10;
            screen.store().append(found);
        }))
        return;
    Pacing::pause(1);
    link.run([](VideoResults &screen) { screen.setAddingRecords(false); });
}

void VideoResults::showNewResults()
{
    // A new list starts at its first row; further pages and a return to the screen keep the place.
    if (!store().isEmpty())
        Q_EMIT scrollToRow(0, Top, m_kind != Search);
}

void VideoResults::cellShown(int row)
{
    if (m_kind != Search || row + 1 != store().size())
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->videoSearchOffset >= lastPageOffset || addingRecords())
        return;
    setAddingRecords(true);
    global->videoSearchOffset += 1;
    const QString text = searchText();
    const int quality = m_qualityIndex;
    const int sort = sortIndex();
    showOverlay(tr("Добавление записей..."), QString(), 1.0f, false,
                [link = Link(this), text, quality, sort](ProgressOverlay *hud) {
                    doVideoSearchOffset(link, hud, text, quality, sort);
                });
}

void VideoResults::rowSelected(int row)
{
    if (row < 0 || row >= store().size())
        return;
    setLastWatched(row);
    m_searchLinkIndex = row;
    Q_EMIT scrollToRow(row, Middle, true);
    showOverlay(tr("Поиск ссылки..."), QString(), 1.0f, false,
                [link = Link(this), record = store().at(row)](ProgressOverlay *hud) {
                    doGetLink(link, hud, record, WatchAlert);
                });
}

void VideoResults::accessoryButtonTapped(int row)
{
    if (tableBusy() || row < 0 || row >= store().size())
        return;
    Q_EMIT scrollToRow(row, Middle, true);
    setTableBusy(true);
    m_searchLinkIndex = row;
    showOverlay(tr("Поиск ссылки..."), QString(), 1.0f, false,
                [link = Link(this), record = store().at(row)](ProgressOverlay *hud) {
                    doGetLink(link, hud, record, QueueAlert);
                });
}

void VideoResults::doGetLink(const Link &link, ProgressOverlay *hud, const VideoRecord &record,
                             AlertTag purpose)
{
    const VideoLink resolved = VKontakteWorks::resolveVideoLink(record.key);
    if (resolved.kind == VideoLink::NoAnswer) {
        // Nobody answered, so nothing is known about the video: it stays in the list for another try.
        hud->reportServiceUnavailable();
        return;
    }
    if (resolved.kind == VideoLink::NotWebAddress) {
        // The page points somewhere no video of the service lives: nothing goes to the player or the queue.
        Pacing::pause(1);
        hud->setMode(ProgressOverlay::CustomView);
        hud->setLabelText(tr("Ошибка"));
        hud->setDetailsLabelText(tr("Видео недоступно"));
        Pacing::pause(1);
        return;
    }
    const QString found = resolved.text();
    if (!link.run([&](VideoResults &screen) {
            screen.m_foundLink = found;
            screen.m_pending = record;
        }))
        return;
    Pacing::pause(1);

    if (found == Unusable || found == NoMp4) {
        // Even a video the user only wanted to watch leaves the list when it cannot be had.
        if (!link.run([](VideoResults &screen) { screen.linkFindingFinishedError(); }))
            return;
        hud->setMode(ProgressOverlay::CustomView);
        hud->setLabelText(tr("Ошибка"));
        hud->setDetailsLabelText(found == Unusable ? tr("Файл не на сервере ВКонтакте")
                                                   : tr("Файлы формата FLV не поддерживаются"));
        Pacing::pause(1);
        return;
    }
    if (found.contains(u".240.mp4")) {
        // One quality only: nothing to choose.
        if (purpose == WatchAlert) {
            link.run([](VideoResults &screen) { screen.showVideoInWindow(); });
            return;
        }
        if (!link.run([](VideoResults &screen) { screen.linkFindingFinished(); }))
            return;
        hud->becomeNotice();
        hud->setMode(ProgressOverlay::CustomView);
        hud->setLabelText(tr("Уведомление"));
        hud->setDetailsLabelText(tr("Запись добавлена в очередь"));
        Pacing::pause(1);
        return;
    }
    // A quality chosen before (this run, or as the default) is taken without asking, unless asking every
    // time was asked for.
    const int remembered = rememberedQualityButton(found);
    if (remembered > 0) {
        if (!link.run([&](VideoResults &screen) { screen.qualityChosen(purpose, remembered); }))
            return;
        if (purpose == QueueAlert) {
            hud->setMode(ProgressOverlay::CustomView);
            hud->setLabelText(tr("Уведомление"));
            hud->setDetailsLabelText(tr("Запись добавлена в очередь"));
            Pacing::pause(1);
        }
        return;
    }
    link.run([&](VideoResults &screen) {
        Q_EMIT screen.alertRequested(QString(), tr("Выберите качество"), qualityButtons(found), purpose);
    });
}

int VideoResults::rememberedQualityButton(const QString &address)
{
    Settings &settings = Settings::shared();
    if (settings.boolValue(QStringLiteral("video/ask_quality"), false))
        return 0;
    const int lines = settings.stringValue(QStringLiteral("video/quality")).toInt();
    if (lines <= 0)
        return 0;
    // The best the video has up to the chosen lines; 240 always exists.
    const int offered = int(qualityButtons(address).size()) - 1;
    int button = 1;
    for (int i = 0; i < offered; ++i) {
        if (QualityLines[i] <= lines)
            button = i + 1;
    }
    return button;
}

void VideoResults::qualityChosen(int tag, int button)
{
    m_foundLink = VKontakteWorks::videoLinkWithLines(m_foundLink, QualityLines[button - 1]);
    if (tag == WatchAlert)
        showVideoInWindow();
    else
        linkFindingFinished();
}

void VideoResults::alertAnswered(int tag, int index)
{
    if (tag != WatchAlert && tag != QueueAlert)
        return;
    // 0 is the cancel button: the record stays where it is. An answer beyond the buttons offered is no
    // answer.
    if (index < 1 || index >= qualityButtons(m_foundLink).size())
        return;
    // Remembered: the next video plays or is queued in it without the question.
    Settings::shared().setString(QStringLiteral("video/quality"), QString::number(QualityLines[index - 1]));
    qualityChosen(tag, index);
}

int VideoResults::pendingRow() const
{
    const QList<VideoRecord> &records = store().records();
    if (m_searchLinkIndex >= 0 && m_searchLinkIndex < records.size() &&
        records.at(m_searchLinkIndex).tag == m_pending.tag)
        return m_searchLinkIndex;
    // The list changed while the link was looked for; the record is found by its tag, unique in a run.
    for (qsizetype row = 0; row < records.size(); ++row) {
        if (records.at(row).tag == m_pending.tag)
            return int(row);
    }
    return -1;
}

void VideoResults::linkFindingFinished()
{
    const int row = pendingRow();
    if (row >= 0) {
        VideoRecord record = store().at(row);
        record.key = m_foundLink;
        store().replace(row, record);
    }
    QueueItem item;
    item.name = m_pending.title;
    item.url = m_foundLink;
    item.tag = m_pending.tag.toInt();
    DownloadQueue::shared().append(DownloadQueue::Video, item);
    if (row >= 0)
        store().removeAt(row);
}

void VideoResults::linkFindingFinishedError()
{
    const int row = pendingRow();
    if (row >= 0)
        store().removeAt(row);
}

void VideoResults::showVideoInWindow()
{
    Q_EMIT videoPlayerRequested(m_foundLink, QStringLiteral("search"), m_pending.title);
}

void VideoResults::clearRecordsTable()
{
    store().clear();
}

void VideoResults::setSelfId()
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    if (global->vksid().isEmpty())
        return;
    setSearchText(global->vkuid());
    searchBarSearchButtonClicked();
}

void VideoResults::searchBarTextDidBeginEditing()
{
    if (m_kind != Search || m_selectorsVisible)
        return;
    m_selectorsVisible = true;
    Q_EMIT selectorsVisibleChanged();
}

void VideoResults::searchBarTextDidEndEditing()
{
    if (m_kind != Search || !m_selectorsVisible)
        return;
    m_selectorsVisible = false;
    Q_EMIT selectorsVisibleChanged();
}

void VideoResults::searchBarCancelButtonClicked()
{
    Q_EMIT keyboardDismissed();
}
