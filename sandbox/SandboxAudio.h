#pragma once

#include "sandbox/Sandbox.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One audio on the stand-in service. Texts are display texts in UTF-8; every page escapes them its own way.
struct SandboxTrack
{
    std::string oid;
    std::string aid;
    std::string artist;
    std::string title;
    int seconds = 0;
    bool lyrics = false;    // the search row's title is a link that opens the lyrics
    bool rawQuotes = false; // the list answer writes apostrophes unescaped (a slip the real service makes)
};

// What a route saw of one request.
struct SandboxRequest
{
    std::string target;                                       // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers; // the client's header fields
};

// The audio side of the sandbox: the searchable catalogue, the users' and communities' lists, the session
// tokens, the rights-holder file, and what tests may want to look at afterwards. Lives in Sandbox::State and
// is guarded by its mutex; the static helpers below take that lock themselves.
struct SandboxAudio
{
    std::vector<SandboxTrack> catalogue;
    std::map<std::string, std::vector<SandboxTrack>> users;            // user number -> the audio on the page
    std::map<std::string, std::vector<SandboxTrack>> communities;      // community number -> its audio
    std::map<std::string, std::pair<std::string, std::string>> tokens; // remixsid -> add and delete token
    int tokenPagesServed = 0;
    long long nextAid = 900000;
    std::string riaaFile; // as served: Windows-1251 bytes
    // Answers served instead of the generated ones, by exact request target (path and query), as raw bytes.
    std::map<std::string, std::string> cannedAnswers;
    // The last request of each kind: "search", "list", "recommendations", "tokens", "add", "delete", "riaa".
    std::map<std::string, SandboxRequest> lastRequests;
    std::string lastQuery; // the decoded c[q] of the last search

    // What every sandbox starts with: a catalogue of 330 tracks; a personal list of 25 for the default
    // account (1000001) and of 500 for user 1000002; 40 tracks in community 1 and, in community 2, a title
    // whose apostrophe the list answer leaves unescaped; the rights-holder file.
    static SandboxAudio seeded();

    // One page of the search answer as the service sends it (Windows-1251 bytes), 100 rows at most; streams
    // are addressed below `base` ("http://host:port").
    static std::string searchAnswer(const SandboxAudio &audio, const std::string &base,
                                    const std::string &query, int offset, int sort);
    // UTF-8 to code page 1251; characters outside it become numeric character references, as the service
    // writes them.
    static std::string encodeWindows1251(const std::string &utf8);
    // "%xx" escapes and "+" decoded, as the service's script reads a query value.
    static std::string decodeQueryValue(const std::string &raw);

    // Test access; each takes the sandbox's lock.
    static std::vector<SandboxTrack> userAudio(Sandbox &sandbox, const std::string &uid);
    static std::vector<SandboxTrack> catalogueOf(Sandbox &sandbox);
    static void setRiaaText(Sandbox &sandbox, const std::string &utf8);
    static void setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes);
    static int tokenPageFetches(Sandbox &sandbox);
    // The session's add and delete tokens; empty texts while none were handed out.
    static std::pair<std::string, std::string> tokensOf(Sandbox &sandbox, const std::string &sid);
    static std::optional<SandboxRequest> lastRequest(Sandbox &sandbox, const std::string &kind);
    static std::string lastSearchText(Sandbox &sandbox);
};
