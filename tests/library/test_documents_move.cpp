// Moving the documents folder: every file arrives, none is lost when the move fails halfway, and a target
// that cannot take the files is refused before anything moves.
#include "../support/Files.h"

#include "library/DocumentsMove.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using TestSupport::readFile;
using TestSupport::writeFile;

// The documents folder's files, one "name: content" each.
const QStringList contents{"/AudioAutosavedPlaylist.tune: <plist/>",
                           "/audio/Folder/Артист - Песня.mp3: mp3 one", "/audio/two.mp3: mp3 two",
                           "/playlists/Мой.tuneplaylist: <plist/>"};

// Every file below `root` (temporary ones too) in the form of `contents`, sorted.
QStringList contentsUnder(const QString &root)
{
    QStringList out;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        out << path.mid(root.size()) + QStringLiteral(": ") + QString::fromUtf8(readFile(path));
    }
    out.sort();
    return out;
}

class DocumentsMoveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        from = temp.filePath("old");
        to = temp.filePath("new");
        for (const QString &line : contents)
            writeFile(from + line.section(": ", 0, 0), line.section(": ", 1).toUtf8());
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
    EXPECT_EQ(contentsUnder(to), contents) << "no temporary file is left behind";
    EXPECT_TRUE(QFileInfo(to + "/Inbox").isDir());
    EXPECT_FALSE(QFileInfo::exists(from));
    ASSERT_EQ(steps.size(), 4);
    EXPECT_EQ(steps.last(), std::make_pair(4, 4));
}

TEST_F(DocumentsMoveTest, AFailureHalfwayLosesNothingAndTakesTheCopiesBack)
{
    // A file of the user's already in the new folder under the name of the third file: it is never replaced.
    writeFile(to + "/playlists/Мой.tuneplaylist", "the user's own");
    const DocumentsMove::Result result = DocumentsMove::move(from, to, {});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    // Everything is still where it was, the user's file is untouched, and no copy made before the failure
    // stays.
    EXPECT_EQ(contentsUnder(from), contents);
    EXPECT_EQ(contentsUnder(to), QStringList{"/playlists/Мой.tuneplaylist: the user's own"});
}

TEST_F(DocumentsMoveTest, TargetsThatCannotTakeTheFilesAreRefusedBeforeAnythingMoves)
{
    writeFile(temp.filePath("plain-file"), "x");
    for (const QString &target :
         {from, from + "/", from + "/audio/deeper", QString(), temp.filePath("plain-file")})
        EXPECT_FALSE(DocumentsMove::refusal(from, target).isEmpty()) << target.toStdString();
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
