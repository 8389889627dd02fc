#pragma once

#include "service/Records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A contiguous range of UTF-16 code units, the character sets the service client strips from page texts.
struct CharacterRange
{
    char16_t location = 0;
    int length = 0;
    bool contains(char16_t c) const { return c >= location && int(c) < int(location) + length; }
};

// The service client: blocking class operations that talk to the service and cut its answers apart, plus the
// storage paths and small text helpers everything else shares.
class VKontakteWorks
{
public:
    VKontakteWorks() = delete;

    // Storage layout. Paths only: nothing is created here.
    static QString getRootDir();
    static QString getPlaylistsDir();
    static QString getAudioDir();
    static QString getVideoDir();
    static QString getInboxDir();
    // The documents root: `--root`, else MELODROP_ROOT, else ~/Documents/Melodrop. Set once at start-up.
    static void setRootDir(const QString &path);

    // The set U+0000..U+0019 that page texts are cleaned of (U+001A..U+001F are not in it).
    static CharacterRange controlCharacters() { return {0, 26}; }
    static QString stringByRemovingCharactersInSet(CharacterRange set, const QString &text);
    // Whole seconds as "m:ss"; minutes are not limited (3600 gives "60:00").
    static QString secondsToTime(const QString &seconds);

    // Audio side. Every operation blocks its caller (never the main thread). "Nothing" (std::nullopt) means
    // the answer could not be read and the error line was logged; callers treat it like an empty list.

    // Titles and artists: references decoded, trimmed, "Неизвестно" when nothing is left.
    static QString cleanText(const QString &raw);
    // One page (at most 100 rows) of the audio search.
    static std::optional<QList<AudioRecord>> searchAudioWithOffset(const QString &text, int offset, int sort);
    // Kind 0: a user's audio, 1: a community's, 2: recommendations for a user.
    static std::optional<QList<AudioRecord>> getAudioWithJSON(const QString &owner, int kind);
    // The add and delete tokens from the service's page ("0" when the page has none).
    static QString getAddAudioHash();
    static QString getDelAudioHash();
    // The add and delete requests for an audio, fetching and logging the stored token first while it is "0".
    static void addAudio(const QString &aid, const QString &oid);
    static void delAudio(const QString &aid, const QString &oid);
    // The rights-holder list: the file's lines, or nothing after an error.
    static std::optional<QStringList> getRiaaList();
    // Whether `searchText` is on `list` (both trimmed, exact and case-sensitive).
    static bool riaaRefuses(const QStringList &list, const QString &searchText);
};
