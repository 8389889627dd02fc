// The tables over the stores: a further page, a removal or a move reaches the view as just that, so that it
// keeps its place; only a list replaced as a whole resets it. Every model runs under Qt's model tester, which
// fails on the spot on a row signal that does not match the data.
#include "../support/TestSupport.h"

#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "screens/AlbumRecordModel.h"
#include "screens/AudioRecordModel.h"
#include "screens/PlaylistRowModel.h"
#include "screens/VideoRecordModel.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Records titled "T<tag>" for the tags `from` to `to`.
QList<AudioRecord> songs(int from, int to)
{
    QList<AudioRecord> records;
    for (int tag = from; tag <= to; ++tag) {
        records << AudioRecord{};
        records.last().title = QStringLiteral("T%1").arg(tag);
        records.last().tag = QString::number(tag);
    }
    return records;
}

QStringList titles(const QAbstractItemModel &model, int role)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.data(model.index(row, 0), role).toString();
    return result;
}

TEST(StoreModels, AFurtherPageIsInsertedAndOnlyANewListResets)
{
    AudioRecordStore store;
    AudioRecordModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);

    store.append(songs(1, 100));
    store.append(songs(101, 200)); // the next page
    ASSERT_EQ(inserts.count(), 2);
    EXPECT_EQ(inserts.at(1).at(1).toInt(), 100);
    EXPECT_EQ(inserts.at(1).at(2).toInt(), 199);
    EXPECT_EQ(resets.count(), 0);

    store.removeAt(0); // queued from the table
    EXPECT_EQ(removals.count(), 1);
    EXPECT_EQ(model.rowCount(), 199);
    EXPECT_EQ(model.data(model.index(0), AudioRecordModel::TitleRole).toString(), "T2");

    store.clear(); // a new search
    store.append(songs(300, 300));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(titles(model, AudioRecordModel::TitleRole), QStringList({"T300"}));
    store.clear();
    store.clear(); // an empty list cleared again says nothing
    EXPECT_EQ(resets.count(), 2);
}

TEST(StoreModels, RunsOfMatchesLeaveInRunsAndMovesFollowQtsConvention)
{
    AudioRecordStore store;
    AudioRecordModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    store.assign(songs(1, 8));
    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);
    // 2, 3 and 4 go as one run, 7 on its own.
    EXPECT_EQ(store.removeIf([](const AudioRecord &r) {
        return QList<int>{2, 3, 4, 7}.contains(r.tag.toInt());
    }),
              4);
    EXPECT_EQ(removals.count(), 2);
    EXPECT_EQ(titles(model, AudioRecordModel::TitleRole), QStringList({"T1", "T5", "T6", "T8"}));

    // A move takes the record out first and puts it at the place given in the shorter list, or at the end.
    store.move(0, 2);
    EXPECT_EQ(titles(model, AudioRecordModel::TitleRole), QStringList({"T5", "T6", "T1", "T8"}));
    store.move(3, 0);
    EXPECT_EQ(titles(model, AudioRecordModel::TitleRole), QStringList({"T8", "T5", "T6", "T1"}));
    store.move(0, 99);
    EXPECT_EQ(titles(model, AudioRecordModel::TitleRole), QStringList({"T5", "T6", "T1", "T8"}));
    store.move(1, 1);
    store.move(9, 0); // nothing there to move
    EXPECT_EQ(titles(model, AudioRecordModel::TitleRole), QStringList({"T5", "T6", "T1", "T8"}));
}

TEST(StoreModels, TheWatchedVideoRowStaysOnItsRowNumberAndTheAlbumTableFollowsItsStore)
{
    VideoRecordStore store;
    VideoRecordModel model(&store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (const char *title : {"A", "B", "C"})
        store.append(VideoRecord{QString::fromLatin1(title), "k", "240", "1", "-1", "1:00", "t"});
    model.setWatchedRow(1);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    store.removeAt(0);
    EXPECT_EQ(model.watchedRow(), 1);
    EXPECT_TRUE(model.data(model.index(1), VideoRecordModel::WatchedRole).toBool());
    EXPECT_EQ(model.data(model.index(1), VideoRecordModel::TitleRole).toString(), "C");
    EXPECT_EQ(changes.count(), 1); // the record now under the highlight is drawn highlighted

    AlbumStore albums;
    AlbumRecordModel albumModel(&albums);
    QAbstractItemModelTester albumTester(&albumModel, QAbstractItemModelTester::FailureReportingMode::Fatal);
    albums.assign({AlbumRecord{"One", "X", "1"}, AlbumRecord{"Two", "Y", "2"}});
    EXPECT_EQ(titles(albumModel, AlbumRecordModel::ArtistRole), QStringList({"X", "Y"}));
}

TEST(StoreModels, ThePlaylistsMarkMovesWithItsEntryAndATrackChangeTouchesTwoRows)
{
    PlaylistStore playlist;
    PlaylistRowModel model(&playlist);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // The last entry marked in a loaded list is the current one.
    playlist.assignEntries({{"a.mp3", false}, {"b.mp3", true}, {"c.mp3", true}, {"d.mp3", false}});
    EXPECT_EQ(playlist.currentIndex(), 2);
    EXPECT_FALSE(playlist.at(1).current);

    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    playlist.setCurrentIndex(0);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(model.data(model.index(0), PlaylistRowModel::IconRole).toString(), "icon_audio_active.png");
    EXPECT_EQ(model.data(model.index(2), PlaylistRowModel::BackgroundRole).value<QColor>(),
              QColor(Qt::transparent));

    playlist.moveEntry(0, 3); // the current entry to the end
    EXPECT_EQ(playlist.currentIndex(), 3);
    EXPECT_EQ(titles(model, PlaylistRowModel::TitleRole), QStringList({"b", "c", "d", "a"}));
    playlist.moveEntry(2, 0); // one before it moves up: the current one stays where it is
    EXPECT_EQ(playlist.currentIndex(), 3);
    playlist.removeEntry(0);
    EXPECT_EQ(playlist.currentIndex(), 2);
    QSignalSpy current(&playlist, &PlaylistStore::currentChanged);
    // Removing entries takes the mark along when the current one goes.
    EXPECT_TRUE(
        playlist.removeEntriesIf([](const PlaylistEntry &e) { return e.file == QLatin1String("a.mp3"); }));
    EXPECT_EQ(playlist.currentIndex(), -1);
    EXPECT_EQ(current.count(), 1);
}

TEST(StoreModels, ThePlaylistsFilesAreLookedAtOnlyForTheRowsDrawnAndAgainWhenAskedTo)
{
    QTemporaryDir root;
    StorageLayout::setRootDir(root.path());
    const auto reset = qScopeGuard([] { StorageLayout::setRootDir(QString()); });
    QDir().mkpath(StorageLayout::getAudioDir());
    ASSERT_TRUE(QFile(StorageLayout::getAudioDir() + "/here.mp3").open(QIODevice::WriteOnly));
    PlaylistStore playlist;
    QList<PlaylistEntry> entries;
    for (int i = 0; i < 10000; ++i)
        entries.append({i % 2 ? "here.mp3" : QStringLiteral("gone %1.mp3").arg(i), false});
    playlist.assignEntries(entries);
    PlaylistRowModel model(&playlist);
    EXPECT_EQ(model.filesChecked(), 0); // nothing looked at before a row is drawn

    EXPECT_FALSE(model.data(model.index(0), PlaylistRowModel::PlayableRole).toBool());
    EXPECT_TRUE(model.data(model.index(1), PlaylistRowModel::PlayableRole).toBool());
    EXPECT_TRUE(model.data(model.index(3), PlaylistRowModel::PlayableRole).toBool()); // the same file: known
    EXPECT_EQ(model.filesChecked(), 2);

    QFile::remove(StorageLayout::getAudioDir() + "/here.mp3");
    EXPECT_TRUE(model.data(model.index(1), PlaylistRowModel::PlayableRole).toBool()); // kept until refreshed
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.refreshFiles();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(model.data(model.index(1), PlaylistRowModel::PlayableRole).toBool());
}

} // namespace
