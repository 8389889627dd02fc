// The Last.fm client: two requests of the web service's API 2.0 and the reading of their JSON answers.
#include "service/LastFm.h"

#include "decoding/Json.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace {

constexpr int TimeoutSeconds = 120;
// Sort code of the track look-ups.
constexpr int TrackSearchSort = 2;

const Json::Value *member(const Json::Value *object, const char *name)
{
    return object == nullptr ? nullptr : object->value(QString::fromLatin1(name));
}

// A list is taken element by element; anything else, nothing included, as the only element.
QList<const Json::Value *> elementsOf(const Json::Value *value, bool *single)
{
    QList<const Json::Value *> elements;
    *single = value == nullptr || !value->isArray();
    if (*single) {
        elements.append(value);
        return elements;
    }
    for (const Json::Value &item : value->items())
        elements.append(&item);
    return elements;
}

enum class Empty { Unknown, Zero };

// The clean-up of a name: double quotes removed, "%" optionally kept from the escape decoding (as "&#37;"),
// per cent escapes decoded as UTF-8, "+" read as a space, references decoded, trimmed; an empty result
// becomes "Неизвестно" or "0".
QString cleaned(const Json::Value *object, const char *name, bool keepPercent, Empty empty)
{
    const Json::Value *value = member(object, name);
    if (value == nullptr || !value->isString())
        throw LastFm::Unreadable(std::string("member is no text: ") + name);
    QString text = value->toString();
    text.remove(QLatin1Char('"'));
    if (keepPercent)
        text.replace(QLatin1Char('%'), QLatin1String("&#37;"));
    std::optional<QString> decoded = Text::decodePercentEscapes(text);
    if (!decoded)
        throw LastFm::Unreadable(std::string("undecodable escape in ") + name);
    decoded->replace(QLatin1Char('+'), QLatin1Char(' '));
    const QString result = Text::trimmed(Text::decodeHtmlEntities(*decoded));
    if (!result.isEmpty())
        return result;
    return empty == Empty::Zero ? QStringLiteral("0") : QCoreApplication::translate("Melodrop", "Неизвестно");
}

// Last.fm writes UTF-8; bytes that are no UTF-8 are read as code page 1251, the service's own encoding.
QString decodeAnswer(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return Text::decodeWindows1251(bytes);
}

QString request(const QString &pathAndQuery)
{
    const Http::Response response =
        Http::get(ServiceEndpoints::current().lastfmBase + pathAndQuery,
                  {{QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("gzip")}}, TimeoutSeconds);
    if (!response.received)
        throw LastFm::NoAnswer("no answer");
    return decodeAnswer(response.body);
}

void logError()
{
    Log::line(QString::fromUtf8(Session::errorLogLine));
}

} // namespace

QString LastFm::albumSearchAnswer(const QString &query)
{
    // Concatenated, not QString::arg: the escaped text is full of "%xx".
    return request(QStringLiteral("/2.0/?format=json&method=album.search&api_key=") + QLatin1String(apiKey) +
                   QStringLiteral("&album=") + Text::escapeQuery(query));
}

QString LastFm::trackListAnswer(const QString &albumId)
{
    return request(
        QStringLiteral("/2.0/?format=json&method=playlist.fetch&playlistURL=lastfm://playlist/album/") +
        albumId + QStringLiteral("&api_key=") + QLatin1String(apiKey));
}

QList<AlbumRecord> LastFm::readAlbums(const QString &answer)
{
    QList<AlbumRecord> albums;
    if (answer.isEmpty() || answer.contains(QLatin1String("\"error\":")))
        return albums;
    const std::optional<Json::Value> value = JSONValue(answer);
    const Json::Value *results = member(value ? &*value : nullptr, "results");
    const Json::Value *total = member(results, "opensearch:totalResults");
    if (total != nullptr && (total->isString() || total->isNumber()) &&
        total->toString() == QLatin1String("0"))
        return albums;
    bool single = false;
    const QList<const Json::Value *> elements =
        elementsOf(member(member(results, "albummatches"), "album"), &single);
    for (const Json::Value *album : elements) {
        AlbumRecord record;
        // A lone album's names go through the escape decoding with their per cent signs.
        record.name = cleaned(album, "name", !single, Empty::Unknown);
        record.artist = cleaned(album, "artist", !single, Empty::Unknown);
        record.albumId = cleaned(album, "id", false, Empty::Zero);
        albums.append(record);
    }
    return albums;
}

QStringList LastFm::readTracks(const QString &answer)
{
    QStringList tracks;
    if (answer.isEmpty() || answer.contains(QLatin1String("\"error\":")) ||
        answer.contains(QLatin1String("\"trackList\":\"\\n\"")))
        return tracks;
    const std::optional<Json::Value> value = JSONValue(answer);
    bool single = false;
    const QList<const Json::Value *> elements = elementsOf(
        member(member(member(value ? &*value : nullptr, "playlist"), "trackList"), "track"), &single);
    for (const Json::Value *track : elements) {
        if (tracks.size() == maxAlbumTracks)
            break;
        const QString title = cleaned(track, "title", false, Empty::Unknown);
        const QString creator = cleaned(track, "creator", false, Empty::Unknown);
        tracks.append(creator + QStringLiteral(" - ") + title);
    }
    return tracks;
}

std::optional<AudioRecord> LastFm::pickRecord(const QString &track, const QList<AudioRecord> &hits)
{
    for (qsizetype i = hits.size() - 1; i >= 0; --i) {
        const AudioRecord &hit = hits.at(i);
        if (hit.artist + QStringLiteral(" - ") + hit.title == track)
            return hit;
    }
    if (!hits.isEmpty())
        return hits.first();
    return std::nullopt;
}

QList<AudioRecord> LastFm::findTracks(const QStringList &tracks, const TrackSearchSteps &steps)
{
    QList<AudioRecord> picked;
    const int n = int(tracks.size());
    for (int k = 1; k <= n; ++k) {
        if (steps.searching)
            steps.searching(k, n);
        const QString &track = tracks.at(k - 1);
        const int unansweredBefore = Http::unansweredRequestsOnThisThread();
        const QList<AudioRecord> hits =
            VKontakteWorks::searchAudioWithOffset(track, 0, TrackSearchSort).value_or(QList<AudioRecord>());
        if (Http::unansweredRequestsOnThisThread() != unansweredBefore)
            throw NoAnswer("no answer to the search for a track");
        if (steps.found)
            steps.found(hits);
        if (const std::optional<AudioRecord> record = pickRecord(track, hits))
            picked.append(*record);
    }
    return picked;
}

std::optional<QList<AlbumRecord>> LastFm::searchAlbums(const QString &query)
{
    try {
        return readAlbums(albumSearchAnswer(query));
    } catch (...) {
        logError();
        return std::nullopt;
    }
}

std::optional<QStringList> LastFm::albumTracks(const QString &albumId)
{
    try {
        return readTracks(trackListAnswer(albumId));
    } catch (...) {
        logError();
        return std::nullopt;
    }
}
