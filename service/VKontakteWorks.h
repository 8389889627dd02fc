#pragma once

#include <QString>

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
};
