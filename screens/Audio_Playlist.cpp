#include "screens/Audio_Playlist.h"

#include "core/GlobalData.h"
#include "core/PropertyList.h"
#include "core/Storage.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/PlaylistFile.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"
#include "screens/PlaylistDurations.h"
#include "screens/PlaylistExport.h"
#include "screens/SavedPlaylists.h"

namespace {

const char *const defaultTitle = QT_TRANSLATE_NOOP("Audio_Playlist", "Аудиоплеер");
const char *const zeroTime = "0:00";

} // namespace

Audio_Playlist::Audio_Playlist(QObject *parent)
    : QObject(parent), m_title(tr(defaultTitle)), m_elapsed(QString::fromLatin1(zeroTime)),
      m_total(QString::fromLatin1(zeroTime)),
      m_rows(new PlaylistRowModel(&Stores::playlist(), &PlaylistDurations::shared(), this))
{
    connect(&PlaylistDurations::shared(), &PlaylistDurations::totalChanged, this,
            &Audio_Playlist::totalTextChanged);
    MusicPlayer &music = MusicPlayer::shared();
    connect(&music, &MusicPlayer::trackStarted, this, &Audio_Playlist::trackStarted);
    connect(&music, &MusicPlayer::ticked, this, &Audio_Playlist::ticked);
    connect(&music, &MusicPlayer::nothingToPlay, this, [this] {
        resetDisplay();
        if (m_visible)
            m_rows->refreshFiles();
    });
    // The length is known once the file has been opened, a moment after the track started.
    connect(&music, &MusicPlayer::durationKnown, this,
            [this](double seconds) { setSlider(m_sliderValue, seconds, m_sliderAnimated); });
    connect(&PlayerEvents::shared(), &PlayerEvents::modesChanged, this, &Audio_Playlist::modesChanged);
}

Audio_Playlist::~Audio_Playlist() = default;

Audio_Playlist *Audio_Playlist::shared()
{
    static Audio_Playlist *instance = new Audio_Playlist;
    return instance;
}

void Audio_Playlist::setRandomSource(std::function<quint32()> source)
{
    MusicPlayer::shared().setRandomSource(std::move(source));
}

QString Audio_Playlist::randomButtonImage() const
{
    return playRandomMusic() ? QStringLiteral("playlist_shuffle_active.png")
                             : QStringLiteral("playlist_shuffle.png");
}

QString Audio_Playlist::repeatButtonImage() const
{
    return MusicPlayer::repeat() != MusicPlayer::Repeat::Off ? QStringLiteral("playlist_repeat_active.png")
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

QString Audio_Playlist::totalText() const
{
    return PlaylistDurations::shared().totalText();
}

int Audio_Playlist::repeatMode() const
{
    return int(MusicPlayer::repeat());
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
    return StorageLayout::secondsToTime(QString::asprintf("%0.f", seconds));
}

void Audio_Playlist::viewDidLoad()
{
    // At most one tick may run: an earlier timer, whoever made it, ends here.
    MusicPlayer::shared().restartTimer();
}

void Audio_Playlist::viewWillAppear()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    PlaylistStore &playlist = Stores::playlist();
    // The rows follow the playlist by themselves; only the files may have come or gone meanwhile.
    m_rows->refreshFiles();
    showPlayerTimes();
    AudioPlayer *player = global->audioPlayer;
    setSlider(player ? player->currentTime() : 0, player ? player->duration() : 0, false);
    const int current = currentIndex();
    if (current >= 0)
        setTitle(displayName(playlist.at(current).file));
    Q_EMIT modesChanged();
    if (playlist.justLoaded()) {
        setTitle(tr(defaultTitle));
        setTimes(QString::fromLatin1(zeroTime), QString::fromLatin1(zeroTime));
        setSlider(0, 0, false);
        playlist.setJustLoaded(false);
    }
}

void Audio_Playlist::viewDidAppear()
{
    m_visible = true;
    const int current = currentIndex();
    if (current >= 0)
        Q_EMIT scrollToRow(current, true);
}

void Audio_Playlist::viewWillDisappear()
{
    m_visible = false;
}

void Audio_Playlist::playSound(int index)
{
    MusicPlayer::shared().playSound(index);
}

void Audio_Playlist::trackStarted(int index)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const AudioPlayer *player = global->audioPlayer;
    setTitle(displayName(Stores::playlist().at(index).file));
    setTimes(QString::fromLatin1(zeroTime), QString::fromLatin1(zeroTime));
    setSlider(0, player ? player->duration() : 0, true);
    if (m_visible)
        Q_EMIT scrollToRow(index, true);
}

void Audio_Playlist::forwardButtonPressed()
{
    MusicPlayer::shared().next();
}

void Audio_Playlist::backwardButtonPressed()
{
    MusicPlayer::shared().previous();
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
    MusicPlayer::shared().setShuffle(!GlobalData::sharedGlobalData()->playRandomMusic);
}

void Audio_Playlist::repeatButtonPressed()
{
    MusicPlayer::shared().setRepeat(MusicPlayer::nextRepeat(MusicPlayer::repeat()));
}

void Audio_Playlist::additionButtonPressed()
{
    Q_EMIT alertRequested(QString(), QString(),
                          {tr("Отмена"), tr("Сохранить плейлист как..."), tr("Загрузить плейлист"),
                           tr("Очистить плейлист"), tr("Экспорт в M3U"), tr("Экспорт в XSPF")},
                          MenuAlert);
}

void Audio_Playlist::editPlaylist()
{
    if (!m_visible)
        return;
    setEditing(!m_editing);
}

void Audio_Playlist::alertAnswered(int tag, int index)
{
    // The chosen action runs after the alert has closed.
    if (tag == MenuAlert) {
        if (index == 1)
            QMetaObject::invokeMethod(this, &Audio_Playlist::savePlaylist, Qt::QueuedConnection);
        else if (index == 2)
            QMetaObject::invokeMethod(this, &Audio_Playlist::openPlaylistsRequested, Qt::QueuedConnection);
        else if (index == 3)
            QMetaObject::invokeMethod(this, &Audio_Playlist::clearPlaylistAsked, Qt::QueuedConnection);
        else if (index == 4)
            QMetaObject::invokeMethod(this, &Audio_Playlist::exportM3u, Qt::QueuedConnection);
        else if (index == 5)
            QMetaObject::invokeMethod(this, &Audio_Playlist::exportXspf, Qt::QueuedConnection);
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
    const int entries = Stores::playlist().size();
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
    const QString folder = StorageLayout::getPlaylistsDir();
    Storage::ensureFolder(folder);
    setPlaylistName(Storage::clearPlaylistFileName(m_playlistName));
    const QList<PlaylistEntry> &list = Stores::playlist().records();
    if (list.isEmpty())
        return;
    const QString path = folder + QLatin1Char('/') + m_playlistName + QStringLiteral(".tuneplaylist");
    const PropertyList::WriteResult written = PlaylistFile::write(path, list);
    if (written == PropertyList::WriteResult::Written) {
        Q_EMIT playlistSaved(path);
        return;
    }
    if (written == PropertyList::WriteResult::TooLarge) {
        // The reader refuses such a file: written, it could never be loaded again.
        Q_EMIT alertRequested(tr("Ошибка"),
                              tr("Плейлист не сохранён: он слишком велик (файл был бы больше %1 МБ)")
                                  .arg(PropertyList::maxFileSize / (1024 * 1024)),
                              {tr("Готово")}, ErrorAlert);
        return;
    }
    // A full disk or a folder that cannot be written: the user thinks the playlist is kept unless told.
    Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не сохранён: файл не удалось записать"), {tr("Готово")},
                          ErrorAlert);
}

void Audio_Playlist::exportM3u()
{
    exportAs(int(PlaylistExchange::Format::M3u));
}

void Audio_Playlist::exportXspf()
{
    exportAs(int(PlaylistExchange::Format::Xspf));
}

void Audio_Playlist::exportAs(int format)
{
    const QList<PlaylistEntry> &list = Stores::playlist().records();
    if (list.isEmpty()) {
        Q_EMIT alertRequested(tr("Экспорт"), tr("Плейлист пуст: экспортировать нечего"), {tr("Готово")},
                              NoticeAlert);
        return;
    }
    const QString path = PlaylistExport::write(list, m_playlistName, PlaylistExchange::Format(format));
    if (path.isEmpty()) {
        Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не экспортирован: файл не удалось записать"),
                              {tr("Готово")}, ErrorAlert);
        return;
    }
    Q_EMIT playlistExported(path);
    Q_EMIT alertRequested(tr("Экспорт"), tr("Плейлист сохранён в файл %1").arg(path), {tr("Готово")},
                          NoticeAlert);
}

void Audio_Playlist::clearPlaylist()
{
    AudioPlayer::dropShared();
    resetDisplay();
    Stores::playlist().assignEntries({});
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Playlist::deleteRow(int row)
{
    PlaylistStore &playlist = Stores::playlist();
    if (row < 0 || row >= playlist.size())
        return;
    if (row == playlist.currentIndex()) {
        AudioPlayer::dropShared();
        resetDisplay();
    }
    playlist.removeEntry(row);
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Playlist::moveRow(int from, int to)
{
    PlaylistStore &playlist = Stores::playlist();
    if (from < 0 || from >= playlist.size() || to < 0 || from == to)
        return;
    playlist.moveEntry(from, to);
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

QObject *Audio_Playlist::newPlaylistsScreen() const
{
    return new SavedPlaylists;
}

QObject *Audio_Playlist::newScreen() const
{
    return new Audio_Playlist;
}

void Audio_Playlist::updateTime()
{
    MusicPlayer::shared().updateTime();
}

void Audio_Playlist::ticked()
{
    if (!m_visible)
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    showPlayerTimes();
    setSlider(global->audioPlayer ? global->audioPlayer->currentTime() : 0, m_sliderMaximum, true);
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
