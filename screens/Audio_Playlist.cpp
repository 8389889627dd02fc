#include "screens/Audio_Playlist.h"

#include "core/GlobalData.h"
#include "core/Storage.h"
#include "library/PlaylistFile.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"
#include "screens/SavedPlaylists.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimer>

namespace {

const char *const defaultTitle = QT_TRANSLATE_NOOP("Audio_Playlist", "Аудиоплеер");
const char *const zeroTime = "0:00";

} // namespace

Audio_Playlist::Audio_Playlist(QObject *parent)
    : QObject(parent), m_title(tr(defaultTitle)), m_elapsed(QString::fromLatin1(zeroTime)),
      m_total(QString::fromLatin1(zeroTime)), m_rows(new PlaylistRowModel(this)),
      m_random([] { return QRandomGenerator::global()->generate(); })
{}

Audio_Playlist::~Audio_Playlist()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (m_timer && global->playbackTimer == m_timer)
        global->playbackTimer = nullptr;
}

Audio_Playlist *Audio_Playlist::shared()
{
    static Audio_Playlist *instance = new Audio_Playlist;
    return instance;
}

QString Audio_Playlist::randomButtonImage() const
{
    return playRandomMusic() ? QStringLiteral("playlist_shuffle_active.png")
                             : QStringLiteral("playlist_shuffle.png");
}

QString Audio_Playlist::repeatButtonImage() const
{
    return playRepeatMusic() ? QStringLiteral("playlist_repeat_active.png")
                             : QStringLiteral("playlist_repeat.png");
}

bool Audio_Playlist::playRandomMusic() const
{
    return GlobalData::sharedGlobalData()->playRandomMusic;
}

bool Audio_Playlist::playRepeatMusic() const
{
    return GlobalData::sharedGlobalData()->playRepeatMusic;
}

void Audio_Playlist::setPlaylistNameToSave(const QString &text)
{
    if (text == m_playlistNameToSave)
        return;
    m_playlistNameToSave = text;
    Q_EMIT playlistNameToSaveChanged();
}

QString Audio_Playlist::clockText(double seconds)
{
    return VKontakteWorks::secondsToTime(QString::asprintf("%0.f", seconds));
}

void Audio_Playlist::viewDidLoad()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    // At most one tick may run: an earlier timer, whoever made it, ends here.
    if (global->playbackTimer) {
        global->playbackTimer->stop();
        global->playbackTimer->deleteLater();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &Audio_Playlist::updateTime);
    m_timer->start();
    global->playbackTimer = m_timer;
}

void Audio_Playlist::viewWillAppear()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    reloadTable();
    showPlayerTimes();
    AudioPlayer *player = global->audioPlayer;
    setSlider(player ? player->currentTime() : 0, player ? player->duration() : 0, false);
    const int current = currentIndex();
    if (current >= 0)
        setTitle(displayName(global->audioPlaylistArray.at(current).file));
    Q_EMIT modesChanged();
    if (global->iJustSelectedPlaylist) {
        setTitle(tr(defaultTitle));
        setTimes(QString::fromLatin1(zeroTime), QString::fromLatin1(zeroTime));
        setSlider(0, 0, false);
        global->iJustSelectedPlaylist = false;
    }
}

void Audio_Playlist::viewDidAppear()
{
    GlobalData::sharedGlobalData()->nowYouMayUpdatePlayer = true;
    const int current = currentIndex();
    if (current >= 0)
        Q_EMIT scrollToRow(current, true);
}

void Audio_Playlist::viewWillDisappear()
{
    GlobalData::sharedGlobalData()->nowYouMayUpdatePlayer = false;
}

void Audio_Playlist::playSound(int index)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    QList<PlaylistEntry> &list = global->audioPlaylistArray;
    if (index < 0 || index >= list.size())
        return;
    AudioPlayer::dropShared();

    const QString relative = list.at(index).file;
    setTitle(displayName(relative));
    setTimes(QString::fromLatin1(zeroTime), QString::fromLatin1(zeroTime));

    LibraryPlayer *player = LibraryPlayer::create(VKontakteWorks::getAudioDir() + QLatin1Char('/') + relative,
                                                  QCoreApplication::instance());
    if (player) {
        // Reports of a player that has since been replaced are stale and must not move the playlist.
        const QPointer<AudioPlayer> guard(player);
        connect(
            player, &AudioPlayer::didFinishPlaying, this,
            [this, guard](bool successfully) {
                if (guard && guard == GlobalData::sharedGlobalData()->audioPlayer)
                    audioPlayerDidFinishPlaying(successfully);
            },
            Qt::QueuedConnection);
        connect(player, &AudioPlayer::endInterruption, this, [this, guard](int flags) {
            if (guard && guard == GlobalData::sharedGlobalData()->audioPlayer)
                audioPlayerEndInterruption(flags);
        });
        player->prepareToPlay();
        player->play();
    }
    global->audioPlayer = player;

    setSlider(0, player ? player->duration() : 0, true);
    for (PlaylistEntry &entry : list)
        entry.current = QStringLiteral("0");
    list[index].current = QStringLiteral("1");
    if (global->nowYouMayUpdatePlayer) {
        reloadTable();
        Q_EMIT scrollToRow(index, true);
    }
    global->audioChangingFlag = 0;
    Q_EMIT PlayerEvents::shared().sharedPlayerChanged();
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

int Audio_Playlist::randomIndexOtherThan(int current) const
{
    const quint32 count = quint32(GlobalData::sharedGlobalData()->audioPlaylistArray.size());
    if (count < 2)
        return int(m_random() % count);
    int index = current;
    while (index == current)
        index = int(m_random() % count);
    return index;
}

void Audio_Playlist::forwardButtonPressed()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int count = int(global->audioPlaylistArray.size());
    const int current = currentIndex();
    if (count == 0 || current < 0)
        return;
    if (global->playRepeatMusic)
        playSound(current);
    else if (!global->playRandomMusic)
        playSound(current == count - 1 ? 0 : current + 1); // the playlist wraps around, it never stops
    else
        playSound(randomIndexOtherThan(current));
}

void Audio_Playlist::backwardButtonPressed()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int count = int(global->audioPlaylistArray.size());
    const int current = currentIndex();
    if (count == 0 || current < 0)
        return;
    if (global->playRepeatMusic)
        playSound(current);
    else if (global->audioPlayer && global->audioPlayer->currentTime() > 3.0)
        playSound(current); // well into the track: back to its start
    else if (!global->playRandomMusic)
        playSound(current == 0 ? count - 1 : current - 1);
    else
        playSound(randomIndexOtherThan(current));
}

void Audio_Playlist::audioSliderMoved(double value)
{
    AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    setSlider(value, m_sliderMaximum, false);
    if (!player)
        return;
    const bool wasPlaying = player->isPlaying();
    player->pause();
    player->setCurrentTime(value);
    player->prepareToPlay();
    if (wasPlaying)
        player->play();
}

void Audio_Playlist::randomButtonPressed()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    global->playRandomMusic = !global->playRandomMusic;
    Q_EMIT modesChanged();
}

void Audio_Playlist::repeatButtonPressed()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    global->playRepeatMusic = !global->playRepeatMusic;
    Q_EMIT modesChanged();
}

void Audio_Playlist::additionButtonPressed()
{
    Q_EMIT alertRequested(
        QString(), QString(),
        {tr("Отмена"), tr("Сохранить плейлист как..."), tr("Загрузить плейлист"), tr("Очистить плейлист")},
        MenuAlert);
}

void Audio_Playlist::editPlaylist()
{
    if (!GlobalData::sharedGlobalData()->nowYouMayUpdatePlayer)
        return;
    setEditing(!m_editing);
}

void Audio_Playlist::alertViewClickedButtonAtIndex(int tag, int index)
{
    // The chosen action runs after the alert has closed.
    if (tag == MenuAlert) {
        if (index == 1)
            QMetaObject::invokeMethod(this, &Audio_Playlist::savePlaylist, Qt::QueuedConnection);
        else if (index == 2)
            QMetaObject::invokeMethod(this, &Audio_Playlist::openPlaylistsRequested, Qt::QueuedConnection);
        else if (index == 3)
            QMetaObject::invokeMethod(this, &Audio_Playlist::clearPlaylistAsked, Qt::QueuedConnection);
        return;
    }
    if (tag == ClearAlert) {
        if (index == 1)
            QMetaObject::invokeMethod(this, &Audio_Playlist::clearPlaylist, Qt::QueuedConnection);
        return;
    }
    if (tag == SaveAlert) {
        Q_EMIT keyboardDismissed();
        if (index == 1) {
            setPlaylistName(m_playlistNameToSave);
            QMetaObject::invokeMethod(this, &Audio_Playlist::savePlaylistAs, Qt::QueuedConnection);
        }
    }
}

void Audio_Playlist::clearPlaylistAsked()
{
    // A single entry is quickly added again; a longer playlist is worth a question.
    const qsizetype entries = GlobalData::sharedGlobalData()->audioPlaylistArray.size();
    if (entries <= 1) {
        clearPlaylist();
        return;
    }
    Q_EMIT alertRequested(tr("Очистить плейлист"), tr("Удалить из плейлиста все записи (%1)?").arg(entries),
                          {tr("Отмена"), tr("Очистить")}, ClearAlert);
}

void Audio_Playlist::savePlaylist()
{
    setPlaylistNameToSave(m_playlistName);
    Q_EMIT alertRequested(tr("Сохранить плейлист как..."), QStringLiteral(" \n "),
                          {tr("Отмена"), tr("Сохранить")}, SaveAlert);
}

void Audio_Playlist::savePlaylistAs()
{
    const QString folder = VKontakteWorks::getPlaylistsDir();
    Storage::ensureFolder(folder);
    setPlaylistName(Storage::clearPlaylistFileName(m_playlistName));
    const QList<PlaylistEntry> &list = GlobalData::sharedGlobalData()->audioPlaylistArray;
    if (list.isEmpty())
        return;
    const QString path = folder + QLatin1Char('/') + m_playlistName + QStringLiteral(".tuneplaylist");
    if (PlaylistFile::write(path, list))
        Q_EMIT playlistSaved(path);
}

void Audio_Playlist::clearPlaylist()
{
    AudioPlayer::dropShared();
    resetDisplay();
    GlobalData::sharedGlobalData()->audioPlaylistArray.clear();
    reloadTable();
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Playlist::deleteRow(int row)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    QList<PlaylistEntry> &list = global->audioPlaylistArray;
    if (row < 0 || row >= list.size())
        return;
    if (list.at(row).current == QLatin1String("1")) {
        AudioPlayer::dropShared();
        resetDisplay();
    }
    list.removeAt(row);
    if (global->nowYouMayUpdatePlayer) {
        // The table may have missed changes made by other screens; then it is drawn anew.
        if (m_rows->rowCount() == list.size() + 1)
            m_rows->removeRowAt(row);
        else
            reloadTable();
    }
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Playlist::moveRow(int from, int to)
{
    QList<PlaylistEntry> &list = GlobalData::sharedGlobalData()->audioPlaylistArray;
    if (from < 0 || from >= list.size() || to < 0 || from == to)
        return;
    const bool inStep = m_rows->rowCount() == list.size();
    moveObjectFromIndex(list, from, to);
    if (inStep)
        m_rows->moveRow(from, to);
    else
        reloadTable();
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

QObject *Audio_Playlist::newPlaylistsScreen() const
{
    return new SavedPlaylists;
}

void Audio_Playlist::updateTime()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->nowYouMayUpdatePlayer) {
        showPlayerTimes();
        setSlider(global->audioPlayer ? global->audioPlayer->currentTime() : 0, m_sliderMaximum, true);
    }
    // Requests from outside wait here until a track is current; a started track clears them.
    if (global->audioChangingFlag == 1)
        forwardButtonPressed();
    else if (global->audioChangingFlag == -1)
        backwardButtonPressed();
}

void Audio_Playlist::audioPlayerDidFinishPlaying(bool successfully)
{
    // A track that could not be decoded to its end stays where it stopped.
    if (successfully)
        forwardButtonPressed();
}

void Audio_Playlist::audioPlayerEndInterruption(int flags)
{
    if (flags & 1)
        play();
}

void Audio_Playlist::reloadTable()
{
    std::vector<PlaylistRowModel::Row> rows;
    const QList<PlaylistEntry> &list = GlobalData::sharedGlobalData()->audioPlaylistArray;
    rows.reserve(size_t(list.size()));
    for (const PlaylistEntry &entry : list)
        rows.push_back({displayName(entry.file), entry.current == QLatin1String("1")});
    m_rows->setRows(std::move(rows));
}

void Audio_Playlist::resetDisplay()
{
    setTitle(tr(defaultTitle));
    setTimes(QString::fromLatin1(zeroTime), QString::fromLatin1(zeroTime));
    setSlider(0, 0, true);
}

void Audio_Playlist::showPlayerTimes()
{
    const AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    setTimes(clockText(player ? player->currentTime() : 0), clockText(player ? player->duration() : 0));
}

void Audio_Playlist::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged();
}

void Audio_Playlist::setTimes(const QString &elapsed, const QString &total)
{
    if (elapsed == m_elapsed && total == m_total)
        return;
    m_elapsed = elapsed;
    m_total = total;
    Q_EMIT timeChanged();
}

void Audio_Playlist::setSlider(double value, double maximum, bool animated)
{
    if (value == m_sliderValue && maximum == m_sliderMaximum && animated == m_sliderAnimated)
        return;
    m_sliderValue = value;
    m_sliderMaximum = maximum;
    m_sliderAnimated = animated;
    Q_EMIT sliderChanged();
}

void Audio_Playlist::setEditing(bool editing)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    Q_EMIT editingChanged();
}

void Audio_Playlist::setPlaylistName(const QString &name)
{
    if (name == m_playlistName)
        return;
    m_playlistName = name;
    Q_EMIT playlistNameChanged();
}
