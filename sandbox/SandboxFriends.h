#pragma once

#include "sandbox/SandboxAudio.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// A friend or a community on the stand-in service. The name is the display text in UTF-8; each page escapes
// it its own way. The picture is a path on the sandbox ("/avatars/u1.png"); pages put the host before it.
struct SandboxPerson
{
    std::string id;
    std::string name;
    std::string picture;
};

// The friends and communities of the sandbox's users, and their generated pictures. Lives in Sandbox::State
// and is guarded by its mutex; the static helpers below take that lock themselves.
struct SandboxFriends
{
    std::map<std::string, std::vector<SandboxPerson>> friends; // user number -> friends, in page order
    std::map<std::string, std::vector<SandboxPerson>> groups;  // user number -> communities, in page order
    // Answers served instead of the generated ones, by exact request target, as raw bytes.
    std::map<std::string, std::string> cannedAnswers;
    // The last request of each kind: "friends", "groups".
    std::map<std::string, SandboxRequest> lastRequests;

    // What every sandbox starts with: 64 friends and 22 communities of the default account (Latin, Cyrillic,
    // small-letter, empty, blank and entity-laden names); other users have none.
    static SandboxFriends seeded();

    // The pages as the service sends them (Windows-1251 bytes); pictures are addressed below `base`.
    static std::string friendsAnswer(const std::vector<SandboxPerson> &friends, const std::string &base);
    static std::string groupsAnswer(const std::vector<SandboxPerson> &groups, const std::string &base);
    // A small PNG picture, the same for the same name.
    static std::string avatarPng(const std::string &name);

    // Test access; each takes the sandbox's lock.
    static std::vector<SandboxPerson> friendsOf(Sandbox &sandbox, const std::string &uid);
    static std::vector<SandboxPerson> groupsOf(Sandbox &sandbox, const std::string &uid);
    static void setFriends(Sandbox &sandbox, const std::string &uid,
                           const std::vector<SandboxPerson> &friends);
    static void setCannedAnswer(Sandbox &sandbox, const std::string &target, const std::string &bytes);
    static std::optional<SandboxRequest> lastRequest(Sandbox &sandbox, const std::string &kind);
};
