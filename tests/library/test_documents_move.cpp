// Moving the documents folder: every file arrives, none is lost when the move fails halfway, and a target
// that cannot take the files is refused before anything moves.
#include "../support/Files.h"

#include "library/DocumentsMove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using TestSupport::readFile;

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

class DocumentsMoveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        from = temp.filePath(QStringLiteral("old"));
        to = temp.filePath(QStringLiteral("new"));
        ASSERT_TRUE(writeFile(from + "/audio/Folder/Артист - Песня.mp3", "mp3 one"));
        ASSERT_TRUE(writeFile(from + "/audio/two.mp3", "mp3 two"));
        ASSERT_TRUE(writeFile(from + "/playlists/Мой.tuneplaylist", "<plist/>"));
        ASSERT_TRUE(writeFile(from + "/AudioAutosavedPlaylist.tune", "<plist/>"));
        ASSERT_TRUE(QDir().mkpath(from + "/Inbox"));
    }
    QTemporaryDir temp;
    QString from;
    QString to;
};

TEST_F(DocumentsMoveTest, EveryFileAndFolderArrivesAndTheOldFolderGoes)
{
    QList<std::pair<int, int>> steps;
    const DocumentsMove::Result result = DocumentsMove::move(from, to, [&](int done, int total) {
        steps.append({done, total});
    });
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.files, 4);
    EXPECT_EQ(readFile(to + "/audio/Folder/Артист - Песня.mp3"), "mp3 one");
    EXPECT_EQ(readFile(to + "/audio/two.mp3"), "mp3 two");
    EXPECT_EQ(readFile(to + "/playlists/Мой.tuneplaylist"), "<plist/>");
    EXPECT_EQ(readFile(to + "/AudioAutosavedPlaylist.tune"), "<plist/>");
    EXPECT_TRUE(QFileInfo(to + "/Inbox").isDir());
    EXPECT_FALSE(QFileInfo::exists(from));
    ASSERT_EQ(steps.size(), 4);
    EXPECT_EQ(steps.last(), std::make_pair(4, 4));
    // No temporary file is left behind.
    EXPECT_TRUE(QDir(to + "/audio").entryList({"*.melodrop-move"}, QDir::Files).isEmpty());
}

TEST_F(DocumentsMoveTest, AFailureHalfwayLosesNothingAndTakesTheCopiesBack)
{
    // A file of the user's already in the new folder under the name of the third file: it is never replaced.
    ASSERT_TRUE(writeFile(to + "/playlists/Мой.tuneplaylist", "the user's own"));
    const DocumentsMove::Result result = DocumentsMove::move(from, to, {});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    // Everything is still where it was...
    EXPECT_EQ(readFile(from + "/audio/Folder/Артист - Песня.mp3"), "mp3 one");
    EXPECT_EQ(readFile(from + "/audio/two.mp3"), "mp3 two");
    EXPECT_EQ(readFile(from + "/playlists/Мой.tuneplaylist"), "<plist/>");
    EXPECT_EQ(readFile(from + "/AudioAutosavedPlaylist.tune"), "<plist/>");
    // ...the user's file is untouched, and no copy made before the failure stays.
    EXPECT_EQ(readFile(to + "/playlists/Мой.tuneplaylist"), "the user's own");
    QStringList left;
    for (const char *name :
         {"/audio/Folder/Артист - Песня.mp3", "/audio/two.mp3", "/AudioAutosavedPlaylist.tune"})
        if (QFileInfo::exists(to + name))
            left << name;
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

TEST_F(DocumentsMoveTest, TargetsThatCannotTakeTheFilesAreRefusedBeforeAnythingMoves)
{
    EXPECT_FALSE(DocumentsMove::refusal(from, from).isEmpty());
    EXPECT_FALSE(DocumentsMove::refusal(from, from + "/").isEmpty());
    EXPECT_FALSE(DocumentsMove::refusal(from, from + "/audio/deeper").isEmpty());
    EXPECT_FALSE(DocumentsMove::refusal(from, QString()).isEmpty());
    ASSERT_TRUE(writeFile(temp.filePath("plain-file"), "x"));
    EXPECT_FALSE(DocumentsMove::refusal(from, temp.filePath("plain-file")).isEmpty());
    // A sibling whose name merely begins like the old folder is fine, and so is a folder yet to be made.
    EXPECT_TRUE(DocumentsMove::refusal(from, from + "-elsewhere").isEmpty());
    EXPECT_TRUE(DocumentsMove::refusal(from, to + "/made/on/the/way").isEmpty());
    if (geteuid() != 0) {
        const QString locked = temp.filePath("locked");
        ASSERT_TRUE(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(DocumentsMove::refusal(from, locked + "/inside").isEmpty());
        QFile::setPermissions(locked,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const DocumentsMove::Result refused = DocumentsMove::move(from, from + "/audio/deeper", {});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(readFile(from + "/audio/two.mp3"), "mp3 two");
    EXPECT_FALSE(QFileInfo::exists(from + "/audio/deeper"));
}

} // namespace
