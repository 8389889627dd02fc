#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// Our stand-in of the service on a loopback port: the pages and answers the client expects, seeded data and
// fault switches for tests. Routes are grouped in modules (one .cpp each) that register on the one server.
class Sandbox
{
public:
    struct Account
    {
        std::string email;
        std::string password;
        std::string uid;
    };

    // The account every sandbox knows (see README).
    static Account defaultAccount();

    // Fault switches of the storage host; read by the transfer code without the lock.
    struct StorageFaults
    {
        std::atomic<long long> dropAfterBytes{-1};        // close the connection after this many body bytes
        std::atomic<bool> ignoreRange{false};             // answer a Range request with the whole file (200)
        std::atomic<int> errorStatus{0};                  // answer every file request with this status
        std::atomic<long long> throttleBytesPerSecond{0}; // 0: as fast as possible
        std::atomic<long long> bytesServed{0};            // body bytes sent by the storage host so far
        // Another number gives other bytes behind the same addresses, and another size where the address does
        // not fix it: version N adds N·1000 bytes to a byte file and N frames to an MP3.
        std::atomic<int> fileVersion{0};
        std::atomic<bool> validators{
            false}; // send ETag and Last-Modified (both follow the version), obey If-Range
        // Answer every file request, a plain GET too, with 206 and at most this many bytes of what was asked
        // (the Content-Range says which); -1: off.
        std::atomic<long long> partialAnswerBytes{-1};
        // Take file requests and never answer them: no status line, no byte.
        std::atomic<bool> silent{false};
        std::atomic<int> silentRequests{0}; // file requests taken and left unanswered so far
        std::atomic<bool> stopping{false};  // the server is going down: silent requests end
    };

    // Shared state of the routes; every access goes through `mutex`.
    struct State
    {
        std::mutex mutex;
        std::vector<Account> accounts;
        std::map<std::string, std::string> sessions;      // remixsid -> uid
        std::map<std::string, std::string> pendingLogins; // between the hops of a login: token -> uid
        int probeStatus = 200;
        bool loginSetsUserCookie = true;     // fault switch: a login that sets remixsid but no l
        std::vector<std::string> requestLog; // "METHOD path?query" of every request, in order
        std::string lastLoginQuery;          // the raw query text of the last login request
        std::string lastLogoutSid;
        std::shared_ptr<struct SandboxAudio>
            audio; // the seeded catalogue and the users' lists (AudioRoutes.cpp)
        std::shared_ptr<struct SandboxVideo> video; // the video catalogue, lists and pages (VideoRoutes.cpp)
        StorageFaults storage;
        std::shared_ptr<struct SandboxFriends> friends; // friends, communities (FriendsRoutes.cpp)
        std::shared_ptr<struct SandboxLastfm> lastfm;   // the Last.fm stand-in (LastfmRoutes.cpp)
    };

    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    // Listens on `host`:`port` (0 picks a free port) on a thread of its own; false when it cannot bind.
    bool start(int port = 0, const std::string &host = "127.0.0.1");
    void stop();
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    std::string baseUrl() const;

    State &state() { return m_state; }
    StorageFaults &storageFaults() { return m_state.storage; }

    // Fault switches.
    void setProbeStatus(int status);
    void setLoginSetsUserCookie(bool sets);

    // Copies of what the routes saw.
    std::vector<std::string> requestLog();
    std::string lastLoginQuery();
    bool hasSession(const std::string &sid);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    State m_state;
    int m_port = 0;
    std::string m_host;
};

// Route modules.
namespace SandboxRoutes {
void registerAuth(httplib::Server &server, Sandbox::State &state);
void registerDiagnostics(httplib::Server &server, Sandbox::State &state);
// The audio pages: search, lists, recommendations, tokens, add and delete, the rights-holder list.
void registerAudio(httplib::Server &server, Sandbox::State &state);
// The video pages: search, lists, recommendations, the video page; preview pictures and the MP4 files.
void registerVideo(httplib::Server &server, Sandbox::State &state);
// The storage host: generated MP3 files and plain byte files, with Range and fault switches.
void registerStorage(httplib::Server &server, Sandbox::State &state);
// The friends and communities pages and their pictures.
void registerFriends(httplib::Server &server, Sandbox::State &state);
// The Last.fm stand-in below "/lastfm": album search and album track lists.
void registerLastfm(httplib::Server &server, Sandbox::State &state);
} // namespace SandboxRoutes
