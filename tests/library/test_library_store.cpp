#include "../support/Files.h"
#include "../support/TestSupport.h"

#include "core/StorageLayout.h"
#include "library/LibraryScan.h"
#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LibraryStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        audioDir = StorageLayout::getAudioDir();
        ASSERT_TRUE(QDir().mkpath(audioDir));
    }
    void TearDown() override
    {
        LibraryStore::holdWorker(false);
        store().waitForWorker();
        QCoreApplication::processEvents();
        StorageLayout::setRootDir(QString());
    }

    static LibraryStore &store() { return LibraryStore::audio(); }
    // An empty file at `name` below the audio folder; its path.
    QString touch(const QString &name) const
    {
        TestSupport::writeFile(audioDir + QLatin1Char('/') + name, {});
        return audioDir + QLatin1Char('/') + name;
    }
    // The MP3 files the store knows below `key`; -1 while it does not know them all.
    static int entriesBelow(const QString &key)
    {
        const std::optional<LibraryStore::Totals> totals = store().totalsBelow(key);
        return totals ? totals->mediaEntries : -1;
    }
    // The number of MP3 files below the audio folder once the store knows it.
    static int counted()
    {
        TestSupport::waitFor([] { return entriesBelow(QString()) >= 0; });
        return entriesBelow(QString());
    }

    QTemporaryDir root;
    QString audioDir;
};

TEST_F(LibraryStoreTest, AFileLandingWhileTheFirstWalkIsUnderWayIsCountedWhenItEnds)
{
    touch("a.mp3");
    EXPECT_FALSE(store().totalsBelow(QString()).has_value()); // the walk starts
    // It has read the folder, and its result is on its way, when a download lands.
    store().waitForWorker();
    store().pathChanged(touch("b.mp3"));
    EXPECT_TRUE(TestSupport::waitFor([] { return entriesBelow(QString()) == 2; })) << entriesBelow(QString());
}

TEST_F(LibraryStoreTest, AReadingAskedForBeforeAListingNeverUndoesWhatTheListingSaw)
{
    touch("a.mp3");
    ASSERT_EQ(counted(), 1);
    // A change has the folder read again on the worker; the reading is done and on its way back when the
    // screen lists the folder with one file more.
    store().pathChanged(audioDir + QStringLiteral("/a.mp3"));
    store().waitForWorker();
    touch("b.mp3");
    store().folderListed(QString(), LibraryScan::read(audioDir, "mp3"));
    QCoreApplication::processEvents();
    EXPECT_EQ(counted(), 2);
}

TEST_F(LibraryStoreTest, ANewFolderLandedInIsWalkedAndAFolderGoneTakesItsFilesAlong)
{
    touch("a.mp3");
    touch("Rock/b.mp3");
    ASSERT_EQ(counted(), 2);
    touch("Rock/Live/d.mp3");
    store().pathChanged(touch("Rock/Live/2020/c.mp3"));
    EXPECT_TRUE(TestSupport::waitFor([] { return entriesBelow(QString()) == 4; })) << entriesBelow(QString());
    EXPECT_EQ(entriesBelow("Rock/Live"), 2);

    ASSERT_TRUE(QDir(audioDir + QStringLiteral("/Rock")).removeRecursively());
    store().pathChanged(audioDir + QStringLiteral("/Rock"));
    EXPECT_TRUE(TestSupport::waitFor([] { return entriesBelow(QString()) == 1; })) << entriesBelow(QString());
}

TEST_F(LibraryStoreTest, AWalkOfAnotherMediaFolderIsDroppedWhenTheFolderMoved)
{
    touch("a.mp3");
    touch("b.mp3");
    LibraryStore::holdWorker(true);
    EXPECT_FALSE(store().totalsBelow(QString()).has_value());

    QTemporaryDir other;
    StorageLayout::setRootDir(other.path());
    audioDir = StorageLayout::getAudioDir();
    store().pathChanged(touch("only.mp3")); // the store moves along
    LibraryStore::holdWorker(false);
    store().waitForWorker();
    QCoreApplication::processEvents();
    // The first folder's count never stands for the second's.
    EXPECT_FALSE(store().totalsBelow(QString()).has_value());
    EXPECT_EQ(counted(), 1);
}

} // namespace
