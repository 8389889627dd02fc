#include "library/TagCache.h"
#include "library/TagCacheFile.h"

#include "TagFixtures.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// TagLib's reader, counting its reads and noting whether one ever ran on the main thread.
struct CountingReader
{
    std::shared_ptr<std::atomic<int>> tagReads = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> coverReads = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<bool>> onMainThread = std::make_shared<std::atomic<bool>>(false);

    TagCache::Reader reader() const
    {
        const auto count = [main = onMainThread](std::atomic<int> &reads) {
            ++reads;
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                *main = true;
        };
        return {[=, reads = tagReads](const QString &path) { return count(*reads), TagReader::read(path); },
                [=, reads = coverReads](const QString &path) {
                    return count(*reads), TagReader::readCover(path);
                }};
    }
    int tags() const { return *tagReads; }
    int covers() const { return *coverReads; }
};

bool waitIdle(TagCache &cache)
{
    if (cache.pending() == 0)
        return true;
    QSignalSpy idle(&cache, &TagCache::idle);
    return idle.wait(30000);
}

QString title(TagCache &cache, const QString &path)
{
    const std::optional<TrackTags> tags = cache.tags(path);
    return tags ? tags->title : QStringLiteral("(unknown)");
}

QStringList titles(TagCache &cache, const QStringList &paths)
{
    QStringList out;
    for (const std::optional<TrackTags> &tags : cache.tags(paths))
        out << (tags ? tags->title : QStringLiteral("(unknown)"));
    return out;
}

QStringList keys(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &arguments : spy)
        out << arguments.at(0).toString();
    out.sort();
    return out;
}

class TagCacheTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.filePath("cache"); }
    // One run of the program: a cache that is asked for `names` and left once it is idle; the first one's
    // title by then.
    QString run(const QStringList &names)
    {
        TagCache cache(folder(), m_counter.reader());
        for (const QString &name : names)
            cache.tags(path(name));
        EXPECT_TRUE(waitIdle(cache));
        return title(cache, path(names.first()));
    }
    void makeMp3(const QString &name, const QString &songTitle, const QString &cover = QString())
    {
        ASSERT_EQ(TagFixtures::mp3(path(name), {songTitle, "Artist", "Album", "1", "2020"}, 1, 4, cover), "");
    }
    static void setModified(const QString &file, const QDateTime &time)
    {
        QFile handle(file);
        ASSERT_TRUE(handle.open(QIODevice::ReadWrite));
        ASSERT_TRUE(handle.setFileTime(time, QFileDevice::FileModificationTime));
    }

    QTemporaryDir m_dir;
    CountingReader m_counter;
};

// A file is read once, on the worker; asked again it is answered from memory, and a later run answers it from
// the cache file without reading it. Once that file is loaded, every file it knows is answered at once.
TEST_F(TagCacheTest, ReadsOnceOnTheWorkerAndLaterRunsAnswerFromTheCacheFile)
{
    makeMp3("a.mp3", "Первая");
    makeMp3("b.mp3", "Вторая");
    {
        TagCache cache(folder(), m_counter.reader());
        EXPECT_FALSE(cache.tags(path("a.mp3")));
        EXPECT_FALSE(cache.tags(path("b.mp3")));
        QSignalSpy ready(&cache, &TagCache::tagsReady);
        ASSERT_TRUE(waitIdle(cache));
        EXPECT_EQ(keys(ready), QStringList({path("a.mp3"), path("b.mp3")}));
        EXPECT_EQ(title(cache, path("a.mp3")), "Первая");
        EXPECT_GT(cache.tags(path("b.mp3"))->durationMs, 0);
        EXPECT_EQ(cache.pending(), 0);
        EXPECT_EQ(m_counter.tags(), 2);
        // A path written another way is the same file.
        EXPECT_EQ(title(cache, m_dir.path() + "/./x/../b.mp3"), "Вторая");
    }
    EXPECT_FALSE(*m_counter.onMainThread);
    ASSERT_TRUE(QFileInfo(folder() + "/tags.cache").isFile());

    TagCache cache(folder(), m_counter.reader());
    EXPECT_FALSE(cache.tags(path("a.mp3"))); // the cache file is read on first use, by the worker
    QSignalSpy ready(&cache, &TagCache::tagsReady);
    ASSERT_TRUE(waitIdle(cache));
    EXPECT_EQ(keys(ready), QStringList({path("a.mp3")}));
    EXPECT_EQ(title(cache, path("a.mp3")), "Первая");
    EXPECT_EQ(title(cache, path("b.mp3")), "Вторая"); // at once, before any check
    ASSERT_TRUE(waitIdle(cache));
    EXPECT_EQ(ready.count(), 1); // checked unchanged: nothing new to tell
    EXPECT_EQ(m_counter.tags(), 2);
}

// Files known from the cache file are told while a file whose tags and cover were asked before them is still
// being read; a list is answered in its order. However long a read takes, the questions return at once.
TEST_F(TagCacheTest, KnownFilesAreToldWhileAnotherIsRead)
{
    makeMp3("a.mp3", "Known A");
    makeMp3("b.mp3", "Known B");
    run({"a.mp3", "b.mp3"});
    ASSERT_EQ(TagFixtures::picture(path("red.png"), "red"), "");
    makeMp3("c.mp3", "New C", path("red.png"));
    auto gate = std::make_shared<QSemaphore>();
    TagCache::Reader reader;
    reader.tags = [gate](const QString &file) {
        if (file.endsWith("/c.mp3"))
            gate->acquire();
        return TagReader::read(file);
    };
    TagCache cache(folder(), reader);
    const auto open = qScopeGuard([gate] { gate->release(10); }); // the worker is never left waiting
    QSignalSpy ready(&cache, &TagCache::tagsReady);
    QSignalSpy cover(&cache, &TagCache::coverReady);
    EXPECT_EQ(cache.coverPath(path("c.mp3")), "");
    const QStringList files{path("c.mp3"), path("a.mp3"), path("b.mp3")};
    // At once, with nothing: the cache file is not read yet, and c's read is held.
    EXPECT_EQ(titles(cache, files), QStringList({"(unknown)", "(unknown)", "(unknown)"}));
    while (ready.count() < 2 && ready.wait(10000)) {
    }
    EXPECT_EQ(keys(ready), QStringList({path("a.mp3"), path("b.mp3")}));
    EXPECT_EQ(titles(cache, files), QStringList({"(unknown)", "Known A", "Known B"}));
    EXPECT_EQ(cover.count(), 0);

    gate->release();
    ASSERT_TRUE(waitIdle(cache));
    EXPECT_EQ(ready.count(), 3);
    EXPECT_EQ(titles(cache, files), QStringList({"New C", "Known A", "Known B"}));
    EXPECT_EQ(keys(cover), QStringList{path("c.mp3")});
    EXPECT_EQ(TestSupport::readFile(cache.coverPath(path("c.mp3"))), TestSupport::readFile(path("red.png")));
}

// A file whose size or modification time changed is read again, in a later run or, once forgotten, in this
// one; an unchanged one is not.
TEST_F(TagCacheTest, ChangedFilesAreReadAgain)
{
    // A time in whole milliseconds, as the file's time can be set again exactly.
    const QDateTime modified(QDate(2020, 5, 1), QTime(12, 0));
    makeMp3("a.mp3", "Old");
    setModified(path("a.mp3"), modified);
    run({"a.mp3"});
    // Another size, the same modification time.
    const qint64 oldSize = QFileInfo(path("a.mp3")).size();
    makeMp3("a.mp3", "New and longer");
    setModified(path("a.mp3"), modified);
    ASSERT_NE(QFileInfo(path("a.mp3")).size(), oldSize);
    EXPECT_EQ(run({"a.mp3"}), "New and longer");
    EXPECT_EQ(m_counter.tags(), 2);
    setModified(path("a.mp3"), modified.addSecs(10)); // same bytes, another time
    run({"a.mp3"});
    EXPECT_EQ(m_counter.tags(), 3);
    TagCache cache(folder(), m_counter.reader());
    cache.tags(path("a.mp3"));
    ASSERT_TRUE(waitIdle(cache));
    EXPECT_EQ(m_counter.tags(), 3);

    makeMp3("a.mp3", "Replaced while running");
    EXPECT_EQ(title(cache, path("a.mp3")), "New and longer"); // asked already in this run
    ASSERT_TRUE(waitIdle(cache));
    cache.forget(path("a.mp3"));
    QSignalSpy ready(&cache, &TagCache::tagsReady);
    EXPECT_EQ(title(cache, path("a.mp3")), "New and longer"); // until the check comes back
    ASSERT_TRUE(waitIdle(cache));
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(title(cache, path("a.mp3")), "Replaced while running");
    EXPECT_EQ(m_counter.tags(), 4);
}

// The file's format: what it writes reads back; anything else, a cut at any length or a cover name leading
// out of the cover folder included, reads as nothing.
TEST_F(TagCacheTest, CacheFileReadsBackExactlyOrNotAtAll)
{
    TagCacheFile::Entries entries;
    entries.insert("/music/Кино - Звезда.mp3", {4096,
                                                1700000000123456789,
                                                {"Звезда", "Кино", "Звезда", 5, 1989, 225000, true},
                                                QString(40, QLatin1Char('a')) + ".jpg"});
    entries.insert("/music/plain.mp3", {10, 1, {"", "", "", 0, 0, 1000, false}, QString()});
    const QByteArray bytes = TagCacheFile::serialize(entries);
    const TagCacheFile::Entries back = TagCacheFile::parse(bytes);
    ASSERT_EQ(back.size(), entries.size());
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const TagCacheFile::Entry read = back.value(it.key());
        EXPECT_TRUE(read.size == it->size && read.modifiedNs == it->modifiedNs && read.tags == it->tags &&
                    read.coverFile == it->coverFile)
            << it.key().toStdString();
    }
    for (qsizetype cut = 0; cut < bytes.size(); ++cut)
        ASSERT_TRUE(TagCacheFile::parse(bytes.left(cut)).isEmpty()) << "cut at " << cut;
    EXPECT_TRUE(TagCacheFile::parse(bytes + '\0').isEmpty());

    for (const QString &badName :
         QStringList{"../../../etc/passwd", "/tmp/x.jpg", QString(40, QLatin1Char('a')) + ".exe",
                     QString(39, QLatin1Char('a')) + ".jpg"}) {
        TagCacheFile::Entries bad = entries;
        bad.begin()->coverFile = badName;
        EXPECT_TRUE(TagCacheFile::parse(TagCacheFile::serialize(bad)).isEmpty()) << badName.toStdString();
    }
    TagCacheFile::Entries relative;
    relative.insert("music/a.mp3", {});
    EXPECT_TRUE(TagCacheFile::parse(TagCacheFile::serialize(relative)).isEmpty());
}

// No cache file, a damaged one or a folder in its place: the cache starts empty, reads the file, and (where
// it can) writes a good cache file that the next run answers from.
TEST_F(TagCacheTest, MissingOrDamagedCacheFileStartsEmpty)
{
    makeMp3("a.mp3", "Survivor");
    run({"a.mp3"});
    const QByteArray good = TestSupport::readFile(folder() + "/tags.cache");
    ASSERT_FALSE(good.isEmpty());
    QByteArray otherVersion = good;
    otherVersion[7] = char(otherVersion[7] + 1);
    QByteArray hugeCount = good;
    hugeCount.replace(8, 4, QByteArray("\x7f\xff\xff\xff", 4));

    const std::pair<const char *, QByteArray> cases[] = {
        {"missing", QByteArray()},           {"garbage", QByteArray(5000, '\x5a')},
        {"cut", good.left(good.size() / 2)}, {"other version", otherVersion},
        {"huge count", hugeCount},
    };
    for (const auto &[name, content] : cases) {
        SCOPED_TRACE(name);
        QDir(folder()).removeRecursively();
        if (!content.isEmpty())
            TestSupport::writeFile(folder() + "/tags.cache", content);
        const int before = m_counter.tags();
        EXPECT_EQ(run({"a.mp3"}), "Survivor");
        EXPECT_EQ(m_counter.tags(), before + 1);
        run({"a.mp3"});
        EXPECT_EQ(m_counter.tags(), before + 1);
    }

    // A folder where the file should be: nothing is kept between runs, but every run still answers.
    QDir(folder()).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder() + "/tags.cache"));
    EXPECT_EQ(run({"a.mp3"}), "Survivor");
    EXPECT_EQ(run({"a.mp3"}), "Survivor");
}

// Two files with the same picture share one cover file, written once; later runs find it without reading
// the picture again; a file without a picture has no cover, and a cover file deleted is written again.
TEST_F(TagCacheTest, CoverFileIsWrittenOnceForFilesSharingIt)
{
    ASSERT_EQ(TagFixtures::picture(path("red.png"), "red"), "");
    ASSERT_EQ(TagFixtures::picture(path("blue.jpg"), "blue"), "");
    makeMp3("a.mp3", "A", path("red.png"));
    makeMp3("b.mp3", "B", path("red.png"));
    makeMp3("c.mp3", "C", path("blue.jpg"));
    makeMp3("d.mp3", "D");
    QString red;
    {
        TagCache cache(folder(), m_counter.reader());
        EXPECT_EQ(cache.coverPath(path("a.mp3")), "");
        QSignalSpy ready(&cache, &TagCache::coverReady);
        ASSERT_TRUE(waitIdle(cache));
        EXPECT_EQ(keys(ready), QStringList({path("a.mp3")}));
        red = cache.coverPath(path("a.mp3"));
        EXPECT_TRUE(red.startsWith(cache.coverFolder() + "/")) << red.toStdString();
        EXPECT_TRUE(red.endsWith(".png"));
        EXPECT_EQ(TestSupport::readFile(red), TestSupport::readFile(path("red.png")));
    }
    const QDateTime written(QDate(2001, 1, 1), QTime(0, 0));
    setModified(red, written);
    {
        TagCache cache(folder(), m_counter.reader());
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
            EXPECT_EQ(cache.coverPath(path(name)), "");
        QSignalSpy ready(&cache, &TagCache::coverReady);
        ASSERT_TRUE(waitIdle(cache));
        EXPECT_EQ(keys(ready), QStringList({path("a.mp3"), path("b.mp3"), path("c.mp3")}));
        EXPECT_EQ(cache.coverPath(path("a.mp3")), red);
        EXPECT_EQ(cache.coverPath(path("b.mp3")), red);
        EXPECT_EQ(TestSupport::readFile(cache.coverPath(path("c.mp3"))),
                  TestSupport::readFile(path("blue.jpg")));
        EXPECT_EQ(cache.coverPath(path("d.mp3")), "");
        EXPECT_FALSE(cache.tags(path("d.mp3"))->hasCover);
        EXPECT_EQ(QDir(cache.coverFolder()).entryList(QDir::Files).size(), 2);
        EXPECT_EQ(m_counter.covers(), 3); // a in the first run; b and c now; never d
    }
    EXPECT_EQ(QFileInfo(red).lastModified(), written); // not written again for b

    ASSERT_TRUE(QFile::remove(red));
    TagCache cache(folder(), m_counter.reader());
    cache.coverPath(path("a.mp3"));
    ASSERT_TRUE(waitIdle(cache));
    EXPECT_EQ(cache.coverPath(path("a.mp3")), red);
    EXPECT_EQ(TestSupport::readFile(red), TestSupport::readFile(path("red.png")));
    EXPECT_EQ(m_counter.covers(), 4);
    EXPECT_FALSE(*m_counter.onMainThread);
}

// Files that are gone leave the cache file, and their covers the cover folder, at the next write; a missing
// file is never answered, and one that goes while known is taken back.
TEST_F(TagCacheTest, GoneFilesLeaveTheCache)
{
    ASSERT_EQ(TagFixtures::picture(path("red.png"), "red"), "");
    ASSERT_EQ(TagFixtures::picture(path("blue.png"), "blue"), "");
    makeMp3("kept.mp3", "Kept", path("red.png"));
    makeMp3("gone.mp3", "Gone", path("blue.png"));
    makeMp3("new.mp3", "New");
    QString goneCover;
    {
        TagCache cache(folder(), m_counter.reader());
        cache.coverPath(path("kept.mp3"));
        cache.coverPath(path("gone.mp3"));
        ASSERT_TRUE(waitIdle(cache));
        goneCover = cache.coverPath(path("gone.mp3"));
        ASSERT_TRUE(QFileInfo(goneCover).isFile());
    }
    const QByteArray goneBytes = TestSupport::readFile(path("gone.mp3"));
    const QDateTime goneModified = QFileInfo(path("gone.mp3")).lastModified();
    ASSERT_TRUE(QFile::remove(path("gone.mp3")));
    {
        TagCache cache(folder(), m_counter.reader());
        QSignalSpy ready(&cache, &TagCache::tagsReady);
        EXPECT_FALSE(cache.tags(path("gone.mp3")));
        EXPECT_FALSE(cache.tags(path("new.mp3"))); // something changed: the file is written
        ASSERT_TRUE(waitIdle(cache));
        EXPECT_FALSE(cache.tags(path("gone.mp3")));
        EXPECT_EQ(keys(ready), QStringList({path("new.mp3")}));

        // A file that goes while the cache knows it: once asked again, it is taken back.
        EXPECT_EQ(title(cache, path("new.mp3")), "New");
        ASSERT_TRUE(QFile::remove(path("new.mp3")));
        cache.forget(path("new.mp3"));
        cache.tags(path("new.mp3"));
        ASSERT_TRUE(waitIdle(cache));
        EXPECT_EQ(ready.count(), 2);
        EXPECT_FALSE(cache.tags(path("new.mp3")));
    }
    EXPECT_FALSE(QFileInfo::exists(goneCover));
    EXPECT_EQ(QDir(folder() + "/covers").entryList(QDir::Files).size(), 1);

    // Put back as it was (same bytes, same time): read again, as its entry went; the kept file is not.
    TestSupport::writeFile(path("gone.mp3"), goneBytes);
    setModified(path("gone.mp3"), goneModified);
    const int before = m_counter.tags();
    EXPECT_EQ(run({"gone.mp3", "kept.mp3"}), "Gone");
    EXPECT_EQ(m_counter.tags(), before + 1);
}

// A run that learns nothing new leaves the cache file as it was; one that does writes it whole beside the
// old one and puts it in its place, so the old file as a reader has it open stays whole.
TEST_F(TagCacheTest, CacheFileIsReplacedWholeAndOnlyWhenSomethingChanged)
{
    makeMp3("a.mp3", "A");
    makeMp3("b.mp3", "B");
    run({"a.mp3"});
    const QString file = folder() + "/tags.cache";
    const QDateTime old(QDate(2001, 1, 1), QTime(0, 0));
    setModified(file, old);
    {
        TagCache cache(folder(), m_counter.reader());
        cache.tags(path("a.mp3"));
        ASSERT_TRUE(waitIdle(cache));
        cache.flush();
    }
    EXPECT_EQ(QFileInfo(file).lastModified(), old);
    const QByteArray before = TestSupport::readFile(file);
    QFile held(file);
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    {
        TagCache cache(folder(), m_counter.reader());
        cache.tags(path("b.mp3"));
        ASSERT_TRUE(waitIdle(cache));
        cache.flush();
        EXPECT_NE(QFileInfo(file).lastModified(), old);
    }
    EXPECT_EQ(held.readAll(), before);
    const TagCacheFile::Entries entries = TagCacheFile::load(file);
    EXPECT_EQ(entries.size(), 2);
    EXPECT_EQ(entries.value(path("b.mp3")).tags.title, "B");
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"tags.cache"});
}

// A cache that goes away does not first read everything still queued: the window closes at once.
TEST_F(TagCacheTest, GoingAwayLeavesQueuedFilesUnread)
{
    constexpr int count = 300;
    for (int i = 0; i < count; ++i)
        TestSupport::writeFile(path(QStringLiteral("f%1.mp3").arg(i)), "x");
    auto reads = std::make_shared<std::atomic<int>>(0);
    TagCache::Reader reader;
    reader.tags = [reads](const QString &) {
        ++*reads;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return TrackTags();
    };
    {
        TagCache cache(folder(), reader);
        for (int i = 0; i < count; ++i)
            cache.tags(path(QStringLiteral("f%1.mp3").arg(i)));
    }
    EXPECT_LT(*reads, count / 2);
}

} // namespace
