#include "playback/MusicDeck.h"

#include "core/Settings.h"
#include "core/SettingsEvents.h"
#include "playback/LibraryPlayer.h"
#include "playback/MpvHandle.h"

#include <cmath>

namespace {

constexpr double noTarget = std::numeric_limits<double>::quiet_NaN();

QVariantMap stringMap(const mpv_node &node)
{
    QVariantMap map;
    if (node.format != MPV_FORMAT_NODE_MAP || !node.u.list)
        return map;
    for (int i = 0; i < node.u.list->num; ++i) {
        const mpv_node &value = node.u.list->values[i];
        if (value.format == MPV_FORMAT_STRING && value.u.string)
            map.insert(QString::fromUtf8(node.u.list->keys[i]).toLower(), QString::fromUtf8(value.u.string));
    }
    return map;
}

qint64 entryOfReply(const mpv_node &result)
{
    if (result.format != MPV_FORMAT_NODE_MAP || !result.u.list)
        return -1;
    for (int i = 0; i < result.u.list->num; ++i) {
        if (qstrcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
            result.u.list->values[i].format == MPV_FORMAT_INT64)
            return result.u.list->values[i].u.int64;
    }
    return -1;
}

} // namespace

MusicDeck::MusicDeck(QObject *parent) : QObject(parent), m_mpv(new MpvHandle(MpvHandle::Purpose::Music, this))
{
    m_mpv->observe(0, "time-pos", MPV_FORMAT_DOUBLE);
    m_mpv->observe(0, "duration", MPV_FORMAT_DOUBLE);
    m_mpv->observe(0, "metadata", MPV_FORMAT_NODE);
    connect(m_mpv, &MpvHandle::eventsPending, this,
            [this] { m_mpv->drain([this](const mpv_event &event) { handleEvent(event); }); });
    applyReplayGain();
    connect(&SettingsEvents::shared(), &SettingsEvents::changed, this, [this](const QString &key) {
        if (key == QLatin1String(replayGainKey))
            applyReplayGain();
    });
}

MusicDeck::~MusicDeck() = default;

QByteArray MusicDeck::replayGainFor(const QString &setting)
{
    if (setting == QLatin1String("off"))
        return "no";
    if (setting == QLatin1String("album"))
        return "album";
    return "track"; // the default, and what an unknown word falls back to
}

void MusicDeck::applyReplayGain()
{
    const QString setting = Settings::shared().stringValue(QLatin1String(replayGainKey));
    m_mpv->setString("replaygain", replayGainFor(setting));
}

QByteArray MusicDeck::propertyNow(const char *name) const
{
    return m_mpv->propertyNow(name);
}

void MusicDeck::setNext(const QString &path)
{
    if (!m_mpv->isValid() || path == m_nextPath)
        return;
    // Whatever waited behind the current track goes; the current track itself plays on.
    if (!m_nextPath.isEmpty())
        m_mpv->command({"playlist-clear"});
    m_nextPath = path;
    m_nextEntry = -1;
    m_nextReply = 0;
    if (path.isEmpty() || !m_current)
        return;
    m_nextReply = ++m_serial;
    m_mpv->command({"loadfile", path.toUtf8(), "append"}, m_nextReply);
}

bool MusicDeck::isValid() const
{
    return m_mpv->isValid();
}

LibraryPlayer *MusicDeck::load(const QString &path, QObject *parent)
{
    if (!m_mpv->isValid())
        return nullptr;
    if (m_current && !m_current->m_finished) {
        // Replaced: from here on it answers for nothing.
        m_current->m_finished = true;
        m_current->m_loaded = false;
        Q_EMIT m_current->stateChanged();
    }
    auto *track = new LibraryPlayer(this, path, ++m_serial, parent);
    m_current = track;
    m_entry = -1;
    m_entryFromNextStart = false;
    m_seekReply = 0;
    // A length or tags still on their way were read for the file before.
    m_readReply = 0;
    // "replace" empties libmpv's playlist: nothing is queued any more.
    m_nextPath.clear();
    m_nextEntry = -1;
    m_nextReply = 0;
    m_loadReply = ++m_serial;
    // Queued in this order, so the new file starts unpaused whatever the previous one was.
    m_mpv->setFlag("pause", false);
    m_mpv->command({"loadfile", path.toUtf8(), "replace"}, m_loadReply);
    return track;
}

void MusicDeck::setVolume(double percent)
{
    if (std::isnan(percent))
        return;
    percent = std::clamp(percent, 0.0, 100.0);
    if (percent == m_volume)
        return;
    // Only this program changes it, so what was asked for is what holds.
    m_volume = percent;
    m_mpv->setDouble("volume", percent);
    Q_EMIT volumeChanged();
}

void MusicDeck::play(LibraryPlayer *track)
{
    if (track == m_current)
        m_mpv->setFlag("pause", false);
}

void MusicDeck::pause(LibraryPlayer *track)
{
    if (track == m_current)
        m_mpv->setFlag("pause", true);
}

void MusicDeck::stop(LibraryPlayer *track)
{
    if (track != m_current)
        return;
    m_mpv->command({"stop"});
    m_current = nullptr;
    m_entry = -1;
    m_nextPath.clear();
    m_nextEntry = -1;
    m_nextReply = 0;
}

void MusicDeck::seek(LibraryPlayer *track, double seconds)
{
    if (track != m_current)
        return;
    m_seekReply = ++m_serial;
    m_seekAnswered = false;
    m_mpv->command({"seek", QByteArray::number(seconds, 'f', 6), "absolute+exact"}, m_seekReply);
}

LibraryPlayer *MusicDeck::trackOf(qint64 entry) const
{
    return m_current && entry >= 0 && entry == m_entry ? m_current.data() : nullptr;
}

void MusicDeck::finish(LibraryPlayer *track, bool error)
{
    const bool opened = track->m_playedOnce;
    track->m_finished = true;
    track->m_loaded = false;
    track->m_seekTarget = noTarget;
    m_current = nullptr;
    m_entry = -1;
    if (!m_nextPath.isEmpty()) {
        // libmpv would go on with the queued file by itself: a track that failed stays where it stopped, and
        // one that ended is followed by whatever the player chooses now.
        m_mpv->command({"stop"});
        m_nextPath.clear();
        m_nextEntry = -1;
        m_nextReply = 0;
    }
    Q_EMIT track->stateChanged();
    if (error && !opened)
        Q_EMIT track->failedToOpen();
    else
        Q_EMIT track->didFinishPlaying(!error);
}

void MusicDeck::advance(LibraryPlayer *ended)
{
    ended->m_finished = true;
    ended->m_loaded = false;
    ended->m_seekTarget = noTarget;
    auto *track = new LibraryPlayer(this, m_nextPath, ++m_serial, ended->parent());
    m_current = track;
    m_entry = m_nextEntry;
    m_entryFromNextStart = false;
    m_seekReply = 0;
    m_loadReply = 0;
    m_readReply = 0;
    m_nextPath.clear();
    m_nextEntry = -1;
    m_nextReply = 0;
    Q_EMIT ended->stateChanged();
    Q_EMIT advanced(track);
}

void MusicDeck::apply(LibraryPlayer *track, const mpv_event_property &property)
{
    const bool isDouble = property.format == MPV_FORMAT_DOUBLE && property.data;
    const double value = isDouble ? *static_cast<const double *>(property.data) : 0;
    if (qstrcmp(property.name, "time-pos") == 0 && isDouble) {
        track->m_position = value;
    } else if (qstrcmp(property.name, "duration") == 0 && isDouble && value != track->m_duration) {
        track->m_duration = value;
        Q_EMIT track->durationChanged();
    } else if (qstrcmp(property.name, "metadata") == 0 && property.format == MPV_FORMAT_NODE &&
               property.data) {
        const QVariantMap tags = stringMap(*static_cast<const mpv_node *>(property.data));
        if (tags != track->m_metadata) {
            track->m_metadata = tags;
            Q_EMIT track->metadataChanged();
        }
    }
}

void MusicDeck::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata == 0)
            break;
        if (event.reply_userdata == m_loadReply && m_current) {
            if (event.error < 0) {
                finish(m_current, true);
                break;
            }
            m_entry = entryOfReply(static_cast<const mpv_event_command *>(event.data)->result);
            // An older libmpv does not name the entry: it is the next file it starts.
            m_entryFromNextStart = m_entry < 0;
        } else if (event.reply_userdata == m_nextReply) {
            // Without an entry number (an older libmpv) the queued file cannot be told apart: take it back,
            // and the next track is loaded as usual when this one ends.
            m_nextEntry = event.error < 0
                              ? -1
                              : entryOfReply(static_cast<const mpv_event_command *>(event.data)->result);
            if (m_nextEntry < 0) {
                if (event.error >= 0)
                    m_mpv->command({"playlist-clear"});
                m_nextPath.clear();
            }
        } else if (event.reply_userdata == m_seekReply && m_current) {
            if (event.error < 0)
                m_current->m_seekTarget = noTarget; // nowhere to jump to: the position stays
            else
                m_seekAnswered = true;
        }
        break;
    }
    case MPV_EVENT_START_FILE: {
        const qint64 entry = static_cast<const mpv_event_start_file *>(event.data)->playlist_entry_id;
        if (m_entryFromNextStart && m_current) {
            m_entry = entry;
            m_entryFromNextStart = false;
        }
        if (LibraryPlayer *track = trackOf(entry))
            track->m_started = true;
        break;
    }
    case MPV_EVENT_FILE_LOADED: {
        // Carries no entry number: it belongs to the file libmpv started last, the current one once started.
        LibraryPlayer *track = m_current;
        if (!track || !track->m_started || track->m_finished)
            break;
        track->m_loaded = true;
        if (!std::isnan(track->m_seekTarget))
            seek(track, track->m_seekTarget);
        // Asked for, not only observed: a file as long as the one before, or tagged alike, changes nothing
        // that libmpv would report.
        m_readReply = ++m_serial;
        m_mpv->get("duration", MPV_FORMAT_DOUBLE, m_readReply);
        m_mpv->get("metadata", MPV_FORMAT_NODE, m_readReply);
        Q_EMIT track->stateChanged();
        break;
    }
    case MPV_EVENT_GET_PROPERTY_REPLY:
        if (m_current && event.reply_userdata == m_readReply && event.error >= 0)
            apply(m_current, *static_cast<const mpv_event_property *>(event.data));
        break;
    case MPV_EVENT_PLAYBACK_RESTART: {
        LibraryPlayer *track = m_current;
        if (!track || !track->m_loaded)
            break;
        track->m_playedOnce = true;
        if (m_seekAnswered) {
            m_seekAnswered = false;
            const double target = track->m_seekTarget;
            track->m_seekTarget = noTarget;
            if (!std::isnan(target)) {
                track->m_position = target;
                Q_EMIT track->seeked(target);
            }
        }
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        LibraryPlayer *track = trackOf(end->playlist_entry_id);
        if (!track)
            break; // a replaced or stopped file
        if (end->reason == MPV_END_FILE_REASON_EOF && m_nextEntry >= 0)
            advance(track);
        else if (end->reason == MPV_END_FILE_REASON_EOF)
            finish(track, false);
        else if (end->reason == MPV_END_FILE_REASON_ERROR)
            finish(track, true);
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        // Values read while a file opens may still be the previous file's: taken once this one is loaded.
        LibraryPlayer *track = m_current;
        if (track && track->m_loaded)
            apply(track, *static_cast<const mpv_event_property *>(event.data));
        break;
    }
    default:
        break;
    }
}
