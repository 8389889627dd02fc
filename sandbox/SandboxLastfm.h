#pragma once

#include "sandbox/SandboxAudio.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// An album of the Last.fm stand-in: display texts in UTF-8; tracks as (creator, title).
struct SandboxAlbum
{
    std::string id;
    std::string name;
    std::string artist;
    std::vector<std::pair<std::string, std::string>> tracks;
};

// The Last.fm stand-in: albums whose tracks the sandbox's audio catalogue holds (so that an album found here
// can be looked up, queued and downloaded offline), the API key it accepts, and what tests may look at. Lives
// in Sandbox::State and is guarded by its mutex; the static helpers below take that lock themselves.
struct SandboxLastfm
{
    static constexpr const char *apiKey = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

    std::vector<SandboxAlbum> albums;
    // Answers served instead of the generated ones, by exact request target (below "/lastfm"), as raw bytes.
    std::map<std::string, std::string> cannedAnswers;
    // The last request of each method: "album.search", "playlist.fetch".
    std::map<std::string, SandboxRequest> lastRequests;

    // Albums drawn from `audio`'s catalogue: three called "Greatest Hits" (a search for them answers with a
    // list), one found alone (a single object), one with a single track, one without tracks, and tracks that
    // the catalogue lacks or holds under another case.
    static SandboxLastfm seeded(const SandboxAudio &audio);

    // The JSON answers (UTF-8). A search matches album names and artists, without regard to case; an empty
    // query is an error, as is an unknown album in a track list request.
    static std::string albumSearchAnswer(const std::vector<SandboxAlbum> &albums, const std::string &query);
    static std::string trackListAnswer(const std::vector<SandboxAlbum> &albums, const std::string &albumId);
    static std::string errorAnswer(int code, const std::string &message);

    // Test access; each takes the sandbox's lock.
    static std::vector<SandboxAlbum> albumsOf(Sandbox &sandbox);
    static void setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes);
    static std::optional<SandboxRequest> lastRequest(Sandbox &sandbox, const std::string &method);
};
