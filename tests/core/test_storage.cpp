#include "core/DataReset.h"
#include "core/Settings.h"
#include "core/Storage.h"
#include "core/StorageLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(FileNames, DownloadAndPlaylistCleaners)
{
    const QString a127(127, QLatin1Char('a'));
    const std::pair<QString, QString> downloads[] = {
        {"Artist/Band - Song: Title?", "ArtistBand - Song Title"},
        {" \\/:*?\"<>| \t", "Неизвестно"},
        {QString(), "Неизвестно"},
        // The cut comes first, then the removal and the trim: the result can be shorter than the limit.
        {a127 + " bcd" + QString(69, QLatin1Char('e')), a127},
        {QString(200, QLatin1Char('x')), QString(128, QLatin1Char('x'))},
        // Control characters are no part of a name: a name stays one line on any terminal and in any listing.
        {"Line\none\tTab\u001b[31mRed\u007f\u009b2J\u2028End", "LineoneTab[31mRed2JEnd"},
        // Inner spaces stay; Unicode spaces and U+0085 at the ends go.
        {"\u00a0Кино – Группа крови\u0085", "Кино – Группа крови"},
    };
    for (const auto &[name, clean] : downloads)
        EXPECT_EQ(Storage::clearDownloadFileName(name), clean) << name.toStdString();
    const std::pair<QString, QString> playlists[] = {
        {" \\/:*?\"<>| ", "Без названия"},
        {QString(100, QLatin1Char('y')), QString(64, QLatin1Char('y'))},
        {QString(60, QLatin1Char('z')) + "////abc", QString(60, QLatin1Char('z'))},
        {QString(QChar(0)) + "\r\n", "Без названия"},
    };
    for (const auto &[name, clean] : playlists)
        EXPECT_EQ(Storage::clearPlaylistFileName(name), clean) << name.toStdString();
}

TEST(Clock, SecondsToTimeAndControlCharacterRemoval)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"0", "0:00"},     {"9", "0:09"},   {"10", "0:10"}, {"65", "1:05"},     {"245", "4:05"},
        {"3600", "60:00"}, {"abc", "0:00"}, {"", "0:00"},   {"  125x", "2:05"}, {"+61", "1:01"},
    };
    for (const auto &[input, expected] : cases)
        EXPECT_EQ(StorageLayout::secondsToTime(QString::fromUtf8(input)), QString::fromUtf8(expected))
            << input;

    // The control characters of the layout's set.
    const QString text = QStringLiteral("a\tb\nc\rd") + QChar(0x19) + QChar(0x1a) + QChar(0x1f) + QChar(0);
    EXPECT_EQ(StorageLayout::stringByRemovingCharactersInSet(StorageLayout::controlCharacters(), text),
              QStringLiteral("abcd") + QChar(0x1a) + QChar(0x1f));
}

TEST(Folders, TheRootComesFromTheOptionElseTheEnvironmentElseDocuments)
{
    QTemporaryDir dir;
    qputenv("MELODROP_ROOT", dir.path().toUtf8() + "/./");
    StorageLayout::setRootDir(QString());
    EXPECT_EQ(StorageLayout::getRootDir(), dir.path());
    // The one capitalised folder: the others are checked where the files land.
    EXPECT_EQ(StorageLayout::getInboxDir(), dir.path() + "/Inbox");
    EXPECT_FALSE(QFileInfo::exists(StorageLayout::getAudioDir())); // paths only

    QTemporaryDir other;
    StorageLayout::setRootDir(other.path());
    EXPECT_EQ(StorageLayout::getRootDir(), other.path());
    StorageLayout::setRootDir(QString());
    qunsetenv("MELODROP_ROOT");
    EXPECT_TRUE(StorageLayout::getRootDir().endsWith("/Melodrop"));
}

TEST(Folders, AtomicWriteReplacesWholeFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AudioSearchRequest.tune");
    ASSERT_TRUE(Storage::writeAtomically(path, "first"));
    ASSERT_TRUE(Storage::writeAtomically(path, "second"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("second"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"AudioSearchRequest.tune"}));
    EXPECT_FALSE(Storage::writeAtomically(dir.filePath("missing/x.tune"), "x"));
}

TEST(Settings, BooleanDefaultsAreWrittenOnFirstReadAndTheFileIsPrivate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/Melodrop/Melodrop.conf");
    {
        Settings settings(path);
        EXPECT_FALSE(settings.contains("auto_login"));
        EXPECT_FALSE(settings.boolValue("auto_login", false));
        EXPECT_TRUE(settings.contains("auto_login"));
        EXPECT_TRUE(settings.boolValue("count_audio", true));
        settings.setString("settings_password", "секрет");
        EXPECT_EQ(settings.stringValue("settings_login"), QString());
    }
    EXPECT_EQ(QFile::permissions(path) & 0x0077, 0); // no group or other bits (Qt's 0x00XX are group/other)
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::ReadOwner);
    Settings again(path);
    // The stored default is what a later read sees, whatever default that caller passes.
    EXPECT_FALSE(again.boolValue("auto_login", true));
    EXPECT_TRUE(again.boolValue("count_audio", false));
    EXPECT_EQ(again.stringValue("settings_password"), QStringLiteral("секрет"));
}

class DataResetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = dir.path();
        for (const char *folder :
             {"audio", "audio/Импортированные", "audio/sub", "video", "Inbox", "playlists"})
            ASSERT_TRUE(QDir(root).mkpath(folder));
        for (const char *file :
             {"AudioSearchRequest.tune", "AudioAutosavedPlaylist.tune", "playlists/Утро.tuneplaylist",
              "audio/song.mp3", "audio/sub/deep.tune", "audio/UPPER.TUNE", "video/clip.mp4",
              "video/clip.mp4.3.temp", "Inbox/received.mp3", "audio/Импортированные/x.mp3", "notes.tune.txt"})
            touch(root + "/" + QString::fromUtf8(file));
    }
    static void touch(const QString &path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    // Every file, folder and link under the root, by its path from there; links are not followed.
    QStringList entries() const
    {
        QStringList result;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            result << QDir(root).relativeFilePath(it.next());
        result.sort();
        return result;
    }

    QTemporaryDir dir;
    QString root;
};

TEST_F(DataResetTest, ClearAllDataRemovesPlaylistFilesAndFoldersButNeverAFolderOfMusic)
{
    for (const char *folder :
         {"playlists/Old.tuneplaylist/inner", "Root.tune", "audio/Mix.tune", "audio/Keep.TUNE"})
        ASSERT_TRUE(QDir(root).mkpath(QString::fromUtf8(folder)));
    touch(root + "/playlists/Old.tuneplaylist/inner/a.tune");
    touch(root + "/audio/Mix.tune/song.mp3");
    touch(root + "/audio/Mix.tune/inside.tune");
    QTemporaryDir outside;
    touch(outside.filePath("kept.mp3"));
    ASSERT_TRUE(QFile::link(outside.path(), root + "/audio/Link.tune"));

    // Five files, the two folders where playlists live and the link (counted once each; what the folders held
    // goes with them). A folder of that name among the media holds music: it stays with its music, only the
    // file in it goes; a link goes, not what it points to; names are told apart by case.
    EXPECT_EQ(DataReset::deletePlaylistsAndRequests(root), 8);
    EXPECT_EQ(entries(),
              QStringList({"Inbox", "Inbox/received.mp3", "audio", "audio/Keep.TUNE", "audio/Mix.tune",
                           "audio/Mix.tune/song.mp3", "audio/UPPER.TUNE", "audio/song.mp3", "audio/sub",
                           "audio/Импортированные", "audio/Импортированные/x.mp3", "notes.tune.txt",
                           "playlists", "video", "video/clip.mp4", "video/clip.mp4.3.temp"}));
    EXPECT_TRUE(QFileInfo::exists(outside.filePath("kept.mp3")));
}

TEST_F(DataResetTest, DeleteAllContentEmptiesTheMediaFoldersOnly)
{
    DataReset::deleteAllContent(root + "/audio", root + "/video", root + "/Inbox");
    EXPECT_EQ(entries(),
              QStringList({"AudioAutosavedPlaylist.tune", "AudioSearchRequest.tune", "Inbox", "audio",
                           "notes.tune.txt", "playlists", "playlists/Утро.tuneplaylist", "video"}));
}

} // namespace
