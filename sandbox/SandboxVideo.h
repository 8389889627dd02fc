#pragma once

#include "sandbox/SandboxAudio.h"

#include <QByteArray>

#include <map>
#include <optional>
#include <string>
#include <vector>

// One video on the stand-in service. Texts are display texts in UTF-8; every page escapes them its own way.
struct SandboxVideoItem
{
    std::string oid; // owner number, negative for a community
    std::string vid;
    std::string title;
    int seconds = 0;
    int hd = 0;             // best quality: 0 240 lines, 1 360, 2 480, 3 720
    bool mp4 = true;        // the player variables say no_flv 1
    bool variables = true;  // the video's page carries player variables at all
    bool thumbnail = true;  // the pages name a picture (false: an empty address)
    std::string storageUid; // the storage account in the file's address
    std::string vtag;       // the file's name stem on the storage host

    std::string key() const { return oid + "_" + vid; }
};

// The video side of the sandbox: the searchable catalogue, the users' and communities' lists,
// recommendations, the video pages with their player variables, preview pictures and playable MP4 clips.
// Lives in Sandbox::State and is guarded by its mutex; the static helpers below take that lock themselves.
struct SandboxVideo
{
    std::vector<SandboxVideoItem> catalogue;
    // Owner number (a community's negative) -> its videos.
    std::map<std::string, std::vector<SandboxVideoItem>> owners;
    // Answers served instead of the generated ones, by exact request target, as raw bytes.
    std::map<std::string, std::string> cannedAnswers;
    // The last request of each kind: "search", "list", "recommendations", "show", "clip".
    std::map<std::string, SandboxRequest> lastRequests;
    std::string lastQuery; // the decoded c[q] of the last video search

    // What every sandbox starts with: a catalogue of 420 videos (best qualities 0..3 in turn; among them one
    // without an MP4 form, one whose page has no variables, some without a picture and one with a blank
    // title); 12 videos of the default account, 150 of user 1000002, 30 of community 42 (owner -42) and 75
    // recommendations for every known user.
    static SandboxVideo seeded();

    // Answers, as the service sends them (Windows-1251 bytes). `base` is "http://host:port" of the request.
    // The search page: the hits of `query` with at least `minHd`, sorted by `sort` (1 longest first, 2 newest
    // first, otherwise catalogue order), 40 from `offset`.
    static std::string searchAnswer(const SandboxVideo &video, const std::string &base,
                                    const std::string &query, int minHd, int offset, int sort);
    static std::string listAnswer(const std::string &base, const std::vector<SandboxVideoItem> *items);
    static std::string recommendationsAnswer(const std::string &base,
                                             const std::vector<SandboxVideoItem> &items);
    // The video page; player variables address the storage host at `base`.
    static std::string videoPage(const std::string &base, const SandboxVideoItem *item);
    // The recommendations a user is shown (empty for an unknown one).
    static std::vector<SandboxVideoItem> recommendationsFor(const SandboxVideo &video, const std::string &uid,
                                                            bool known);
    // Any video of the catalogue or of an owner's list, by key or by its file's address parts.
    const SandboxVideoItem *find(const std::string &key) const;
    const SandboxVideoItem *findFile(const std::string &storageUid, const std::string &vtag) const;

    // The short playable MP4 clip of `lines` lines (240, 360, 480, 720) the storage host serves; empty for
    // other values.
    static const QByteArray &clip(int lines);
    // A 160x90 PNG preview picture for `key`; the service's stand-in picture for an empty key.
    static std::string previewPng(const std::string &key);

    // The video search page's handler (the search page itself is shared with the audio section).
    static void answerSearch(Sandbox::State &state, const httplib::Request &request,
                             httplib::Response &response);

    // Test access; each takes the sandbox's lock.
    static std::vector<SandboxVideoItem> catalogueOf(Sandbox &sandbox);
    static std::vector<SandboxVideoItem> listOf(Sandbox &sandbox, const std::string &owner);
    static void setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes);
    static std::optional<SandboxRequest> lastRequest(Sandbox &sandbox, const std::string &kind);
    static std::string lastSearchText(Sandbox &sandbox);
};
