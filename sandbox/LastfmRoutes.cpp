// The Last.fm stand-in below "/lastfm": the two methods of the web service's API 2.0 that the album screen
// uses, answering JSON of Last.fm's own shapes.
//   /lastfm/2.0/?format=json&method=album.search&api_key=K&album=Q
//   /lastfm/2.0/?format=json&method=playlist.fetch&playlistURL=lastfm://playlist/album/ID&api_key=K
#include "sandbox/SandboxLastfm.h"

#include <httplib.h>

#include <QString>

#include <algorithm>
#include <cstdio>

namespace {

const char *const JsonType = "application/json; charset=utf-8";
const std::string PlaylistPrefix = "lastfm://playlist/album/";

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// Last.fm writes "&" in names as a reference.
std::string escapeAmpersands(const std::string &text)
{
    std::string out;
    for (const char c : text)
        out += c == '&' ? std::string("&amp;") : std::string(1, c);
    return out;
}

std::string urlPart(const std::string &text)
{
    std::string out;
    for (const char c : text)
        out += c == ' ' ? '+' : c;
    return out;
}

std::string albumObject(const SandboxAlbum &album)
{
    return "{\"name\":" + jsonString(escapeAmpersands(album.name)) +
           ",\"artist\":" + jsonString(escapeAmpersands(album.artist)) + ",\"id\":" + jsonString(album.id) +
           ",\"url\":" +
           jsonString("http://www.last.fm/music/" + urlPart(album.artist) + "/" + urlPart(album.name)) +
           ",\"image\":[{\"#text\":\"\",\"size\":\"small\"},{\"#text\":\"\",\"size\":\"medium\"}]"
           ",\"streamable\":\"0\",\"mbid\":\"\"}";
}

std::string trackObject(const SandboxAlbum &album, size_t index)
{
    const auto &[creator, title] = album.tracks[index];
    return "{\"title\":" + jsonString(title) + ",\"identifier\":\"http://www.last.fm/track/" + album.id +
           "/" + std::to_string(index + 1) + "\",\"album\":" + jsonString(escapeAmpersands(album.name)) +
           ",\"creator\":" + jsonString(creator) + ",\"duration\":\"" +
           std::to_string(180000 + 7000 * index) + "\",\"info\":\"http://www.last.fm/music/" +
           urlPart(creator) + "\",\"image\":\"\"}";
}

bool containsFolded(const std::string &text, const std::string &query)
{
    return QString::fromStdString(text).contains(QString::fromStdString(query), Qt::CaseInsensitive);
}

// Titles that travel unchanged through the album screen's clean-up of names (no quotes, per cent signs, plus
// signs or references), so that "artist - title" finds its track again.
bool plainTitle(const std::string &title)
{
    return title.find_first_of("\"%+&<>") == std::string::npos;
}

std::vector<std::string> titlesOf(const SandboxAudio &audio, const std::string &artist, size_t count)
{
    std::vector<std::string> titles;
    for (const SandboxTrack &track : audio.catalogue) {
        if (titles.size() == count)
            break;
        if (track.artist == artist && plainTitle(track.title) &&
            std::find(titles.begin(), titles.end(), track.title) == titles.end())
            titles.push_back(track.title);
    }
    return titles;
}

SandboxAlbum albumOf(const SandboxAudio &audio, const std::string &id, const std::string &name,
                     const std::string &artist, size_t count)
{
    SandboxAlbum album{id, name, artist, {}};
    for (const std::string &title : titlesOf(audio, artist, count))
        album.tracks.emplace_back(artist, title);
    return album;
}

} // namespace

// ---- SandboxLastfm

SandboxLastfm SandboxLastfm::seeded(const SandboxAudio &audio)
{
    SandboxLastfm lastfm;
    lastfm.albums.push_back(albumOf(audio, "2001", "Greatest Hits", "Queen", 5));
    lastfm.albums.push_back(albumOf(audio, "2002", "Greatest Hits", "Scorpions", 4));
    lastfm.albums.push_back(albumOf(audio, "2003", "Greatest Hits", "Depeche Mode", 4));
    SandboxAlbum kino = albumOf(audio, "2004", "Лучшее", "Кино", 4);
    // Another case than the catalogue's: the service search finds it, but not as an exact match.
    if (!kino.tracks.empty())
        kino.tracks.emplace_back("КИНО", kino.tracks.front().second);
    lastfm.albums.push_back(kino);
    lastfm.albums.push_back(albumOf(audio, "2005", "Live & Loud", "Metallica", 1));
    lastfm.albums.push_back(albumOf(audio, "2006", "Тишина", "Сплин", 0));
    SandboxAlbum rarities = albumOf(audio, "2007", "Rarities", "Nirvana", 3);
    rarities.tracks.emplace_back("Nirvana", "Unreleased Demo 1987"); // not in the catalogue
    lastfm.albums.push_back(rarities);
    return lastfm;
}

std::string SandboxLastfm::errorAnswer(int code, const std::string &message)
{
    return "{\"error\":" + std::to_string(code) + ",\"message\":" + jsonString(message) + ",\"links\":[]}";
}

std::string SandboxLastfm::albumSearchAnswer(const std::vector<SandboxAlbum> &albums,
                                             const std::string &query)
{
    if (QString::fromStdString(query).trimmed().isEmpty())
        return errorAnswer(6, "You must supply an album name");
    std::vector<const SandboxAlbum *> hits;
    for (const SandboxAlbum &album : albums) {
        if (containsFolded(album.name, query) || containsFolded(album.artist, query))
            hits.push_back(&album);
    }
    std::string matches;
    if (hits.empty()) {
        matches = "\"\\n\""; // Last.fm's way of saying "none"
    } else if (hits.size() == 1) {
        matches = "{\"album\":" + albumObject(*hits.front()) + "}";
    } else {
        matches = "{\"album\":[";
        for (size_t i = 0; i < hits.size(); ++i)
            matches += (i > 0 ? "," : "") + albumObject(*hits[i]);
        matches += "]}";
    }
    return "{\"results\":{\"opensearch:Query\":{\"#text\":\"\",\"role\":\"request\",\"searchTerms\":" +
           jsonString(query) + ",\"startPage\":\"1\"},\"opensearch:totalResults\":\"" +
           std::to_string(hits.size()) +
           "\",\"opensearch:startIndex\":\"0\",\"opensearch:itemsPerPage\":\"30\",\"albummatches\":" +
           matches + ",\"@attr\":{\"for\":" + jsonString(query) + "}}}";
}

std::string SandboxLastfm::trackListAnswer(const std::vector<SandboxAlbum> &albums,
                                           const std::string &albumId)
{
    const auto album = std::find_if(albums.begin(), albums.end(),
                                    [&albumId](const SandboxAlbum &a) { return a.id == albumId; });
    if (album == albums.end())
        return errorAnswer(6, "Album not found");
    std::string tracks;
    if (album->tracks.empty()) {
        tracks = "\"\\n\"";
    } else if (album->tracks.size() == 1) {
        tracks = "{\"track\":" + trackObject(*album, 0) + "}";
    } else {
        tracks = "{\"track\":[";
        for (size_t i = 0; i < album->tracks.size(); ++i)
            tracks += (i > 0 ? "," : "") + trackObject(*album, i);
        tracks += "]}";
    }
    return "{\"playlist\":{\"title\":" + jsonString(album->artist + " - " + album->name) +
           ",\"annotation\":\"\",\"creator\":" +
           jsonString("http://www.last.fm/music/" + urlPart(album->artist)) +
           ",\"date\":\"2013-05-01T12:00:00\",\"trackList\":" + tracks + "}}";
}

std::vector<SandboxAlbum> SandboxLastfm::albumsOf(Sandbox &sandbox)
{
    std::lock_guard lock(sandbox.state().mutex);
    return sandbox.state().lastfm->albums;
}

void SandboxLastfm::setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes)
{
    std::lock_guard lock(sandbox.state().mutex);
    sandbox.state().lastfm->cannedAnswers[target] = bytes;
}

std::optional<SandboxRequest> SandboxLastfm::lastRequest(Sandbox &sandbox, const std::string &method)
{
    std::lock_guard lock(sandbox.state().mutex);
    const auto &requests = sandbox.state().lastfm->lastRequests;
    const auto it = requests.find(method);
    if (it == requests.end())
        return std::nullopt;
    return it->second;
}

// ---- routes

void SandboxRoutes::registerLastfm(httplib::Server &server, Sandbox::State &state)
{
    {
        std::lock_guard lock(state.mutex);
        state.lastfm = std::make_shared<SandboxLastfm>(SandboxLastfm::seeded(*state.audio));
    }

    server.Get("/lastfm/2.0/", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        SandboxLastfm &lastfm = *state.lastfm;
        const std::string method = request.get_param_value("method");
        SandboxRequest seen{request.target, {}};
        for (const auto &[name, value] : request.headers) {
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
                name != "LOCAL_PORT")
                seen.headers.emplace_back(name, value);
        }
        lastfm.lastRequests[method] = seen;
        const std::string target = request.target.substr(std::string("/lastfm").size());
        const auto canned = lastfm.cannedAnswers.find(target);
        if (canned != lastfm.cannedAnswers.end()) {
            response.set_content(canned->second, JsonType);
            return;
        }
        if (request.get_param_value("api_key") != SandboxLastfm::apiKey) {
            response.status = 403;
            response.set_content(SandboxLastfm::errorAnswer(
                                     10, "Invalid API key - You must be granted a valid key by last.fm"),
                                 JsonType);
            return;
        }
        if (method == "album.search") {
            response.set_content(
                SandboxLastfm::albumSearchAnswer(lastfm.albums, request.get_param_value("album")), JsonType);
        } else if (method == "playlist.fetch") {
            const std::string playlist = request.get_param_value("playlistURL");
            const std::string id = playlist.rfind(PlaylistPrefix, 0) == 0
                                       ? playlist.substr(PlaylistPrefix.size())
                                       : std::string();
            response.set_content(SandboxLastfm::trackListAnswer(lastfm.albums, id), JsonType);
        } else {
            response.status = 400;
            response.set_content(
                SandboxLastfm::errorAnswer(3, "Invalid Method - No method with that name in this package"),
                JsonType);
        }
    });
}
