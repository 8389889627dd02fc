#pragma once

#include <QString>

// A contiguous range of UTF-16 code units, the character sets the service client strips from page texts.
struct CharacterRange
{
    char16_t location = 0;
    int length = 0;
    bool contains(char16_t c) const { return c >= location && int(c) < int(location) + length; }
};

// Where everything the program keeps on disk lives, and the two small text helpers the service client and the
// player share. The service client (VKontakteWorks) offers these as its own class operations.
class StorageLayout
{
public:
    StorageLayout() = delete;

    // Paths only: nothing is created here.
    static QString getRootDir();
    static QString getPlaylistsDir();
    static QString getAudioDir();
    static QString getVideoDir();
    static QString getInboxDir();
    // The documents root: `--root`, else MELODROP_ROOT, else the folder chosen on the settings page, else
    // ~/Documents/Melodrop. Set at start-up, and again once the settings page has moved the files elsewhere.
    static void setRootDir(const QString &path);

    // The set U+0000..U+0019 that page texts are cleaned of (U+001A..U+001F are not in it).
    static CharacterRange controlCharacters() { return {0, 26}; }
    static QString stringByRemovingCharactersInSet(CharacterRange set, const QString &text);
    // Whole seconds as "m:ss"; minutes are not limited (3600 gives "60:00").
    static QString secondsToTime(const QString &seconds);
};
