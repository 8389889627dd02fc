// The tags of the library's files: what TagLib's reader takes from MP3 and MP4 files as they come (whole,
// cut, damaged, named wrongly), and the cache that keeps its answers between runs.
#include "library/TagCache.h"
#include "library/TagCacheFile.h"
#include "library/TagReader.h"

#include "../support/Mp3Fixture.h"
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

#include <sys/stat.h>

namespace {

using TagReader::Format;
using TestSupport::readFile;
using TestSupport::writeFile;

// The tone's length as TagLib reports it: the encoder adds a frame or two of delay and padding.
constexpr qint64 durationSlackMs = 100;

// Every field but the duration, as one line.
std::string line(const TrackTags &t)
{
    return QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6")
        .arg(t.title, t.artist, t.album)
        .arg(t.trackNumber)
        .arg(t.year)
        .arg(t.hasCover ? "cover" : "no cover")
        .toStdString();
}

class TagReaderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Reads `name`, checks its duration, and gives its other fields as one line.
    std::string read(const QString &name, qint64 durationMs)
    {
        const TrackTags tags = TagReader::read(path(name));
        EXPECT_NEAR(tags.durationMs, durationMs, durationSlackMs) << name.toStdString();
        return line(tags);
    }

    QTemporaryDir m_dir;
};

// ID3v2.3 stores Cyrillic as UTF-16, ID3v2.4 as UTF-8 (ffmpeg picks these): both read alike, with every
// field, the duration and the picture, whose type comes from its bytes.
TEST_F(TagReaderTest, Id3v2ThreeAndFourGiveEveryFieldAndTheCover)
{
    ASSERT_EQ(TagFixtures::picture(path("cover.png"), "red"), "");
    ASSERT_EQ(TagFixtures::picture(path("cover.jpg"), "blue"), "");
    ASSERT_EQ(TagFixtures::mp3(path("v23.mp3"), {"Звезда по имени Солнце", "Кино", "Звезда", "5/10", "1989"},
                               2, 3, path("cover.png")),
              "");
    ASSERT_EQ(TagFixtures::mp3(path("v24.mp3"),
                               {"Группа крови", "Кино & Виктор Цой", "Группа крови", "1", "1988"}, 3, 4,
                               path("cover.jpg")),
              "");
    const QByteArray v23 = readFile(path("v23.mp3"));
    const QByteArray v24 = readFile(path("v24.mp3"));
    ASSERT_TRUE(v23.startsWith(QByteArray("ID3\x03", 4)));
    ASSERT_TRUE(v24.startsWith(QByteArray("ID3\x04", 4)));

    EXPECT_EQ(read("v23.mp3", 2000), "Звезда по имени Солнце | Кино | Звезда | 5 | 1989 | cover");
    const TagReader::Cover png = TagReader::readCover(path("v23.mp3"));
    EXPECT_EQ(png.data, readFile(path("cover.png")));
    EXPECT_EQ(png.mimeType + ' ' + png.suffix, "image/png png");

    EXPECT_EQ(read("v24.mp3", 3000), "Группа крови | Кино & Виктор Цой | Группа крови | 1 | 1988 | cover");
    const TagReader::Cover jpeg = TagReader::readCover(path("v24.mp3"));
    EXPECT_EQ(jpeg.data, readFile(path("cover.jpg")));
    EXPECT_EQ(jpeg.mimeType + ' ' + jpeg.suffix, "image/jpeg jpg");

    // The in-memory stream the fuzzer uses reads the same.
    EXPECT_EQ(TagReader::readBytes(v23, Format::Mpeg), TagReader::read(path("v23.mp3")));
    EXPECT_EQ(TagReader::readCoverBytes(v24, Format::Mpeg).data, jpeg.data);
}

// A file with ID3v1 only: every field it can hold is read from it.
TEST_F(TagReaderTest, Id3v1AloneIsRead)
{
    ASSERT_EQ(TagFixtures::mp3(path("both.mp3"), {"Only v1", "Some Artist", "Some Album", "7", "1999"}, 2, 4,
                               {}, true),
              "");
    QByteArray bytes = readFile(path("both.mp3"));
    ASSERT_TRUE(bytes.right(128).startsWith("TAG"));
    writeFile(path("v1.mp3"), bytes.mid(TagFixtures::id3v2Size(bytes)));
    EXPECT_EQ(read("v1.mp3", 2000), "Only v1 | Some Artist | Some Album | 7 | 1999 | no cover");
}

// MP4 audio and an MP4 movie with a picture track, as the library holds them: the metadata atoms, the
// cover art and the duration.
TEST_F(TagReaderTest, Mp4AtomsAndCoverArt)
{
    ASSERT_EQ(TagFixtures::picture(path("cover.jpg"), "green"), "");
    ASSERT_EQ(TagFixtures::mp4(path("song.m4a"), {"Песня", "Исполнитель", "Альбом", "4/9", "2001"}, 2,
                               path("cover.jpg")),
              "");
    ASSERT_EQ(TagFixtures::mp4(path("clip.mp4"), {"Клип", "Artist", "", "2", "2015-06-01"}, 3,
                               path("cover.jpg"), true),
              "");
    EXPECT_EQ(read("song.m4a", 2000), "Песня | Исполнитель | Альбом | 4 | 2001 | cover");
    const TagReader::Cover art = TagReader::readCover(path("song.m4a"));
    EXPECT_EQ(art.data, readFile(path("cover.jpg")));
    EXPECT_EQ(art.mimeType, "image/jpeg");
    EXPECT_EQ(read("clip.mp4", 3000), "Клип | Artist |  | 2 | 2015 | cover");
    EXPECT_EQ(TagReader::readCover(path("clip.mp4")).data, art.data);
    EXPECT_EQ(TagReader::readBytes(readFile(path("song.m4a")), Format::Mp4),
              TagReader::read(path("song.m4a")));
}

// No tags at all: empty texts, no numbers, no cover, but the duration of the audio.
TEST_F(TagReaderTest, UntaggedFilesStillGiveTheirDuration)
{
    ASSERT_EQ(TagFixtures::mp3(path("plain.mp3"), {}, 3, 0), "");
    ASSERT_EQ(TagFixtures::mp4(path("plain.m4a"), {}, 3), "");
    ASSERT_FALSE(readFile(path("plain.mp3")).startsWith("ID3"));
    for (const char *name : {"plain.mp3", "plain.m4a"}) {
        EXPECT_EQ(read(name, 3000), line({})) << name;
        EXPECT_TRUE(TagReader::readCover(path(name)).isNull());
    }
}

// Files cut anywhere (a download broken off): nothing crashes, and a cut after the tag keeps the tag. TagLib
// takes an MP3's duration from the encoder's header, so a cut file still reports the whole length.
TEST_F(TagReaderTest, CutFilesGiveWhatTheyHold)
{
    ASSERT_EQ(TagFixtures::picture(path("cover.png"), "yellow", 48), "");
    ASSERT_EQ(
        TagFixtures::mp3(path("whole.mp3"), {"Целиком", "A", "B", "3", "2000"}, 2, 3, path("cover.png")), "");
    ASSERT_EQ(TagFixtures::mp4(path("whole.m4a"), {"Целиком", "A", "B", "3", "2000"}, 2, path("cover.png")),
              "");
    const QByteArray mp3 = readFile(path("whole.mp3"));
    const QByteArray mp4 = readFile(path("whole.m4a"));
    const qsizetype tagEnd = TagFixtures::id3v2Size(mp3);
    ASSERT_GT(tagEnd, 200);

    for (qsizetype cut = 0; cut < mp3.size(); cut += cut < tagEnd + 64 ? 7 : 301) {
        const TrackTags tags = TagReader::readBytes(mp3.left(cut), Format::Mpeg);
        (void)TagReader::readCoverBytes(mp3.left(cut), Format::Mpeg);
        if (cut >= tagEnd) {
            ASSERT_EQ(tags.title, "Целиком") << "cut at " << cut;
            ASSERT_TRUE(tags.hasCover) << "cut at " << cut;
        }
    }
    for (qsizetype cut = 0; cut < mp4.size(); cut += 13) {
        (void)TagReader::readBytes(mp4.left(cut), Format::Mp4);
        (void)TagReader::readCoverBytes(mp4.left(cut), Format::Mp4);
    }
    // The index is at the front: with the last bytes of the audio missing, the tags are all there.
    EXPECT_EQ(TagReader::readBytes(mp4.left(mp4.size() - 100), Format::Mp4).title, "Целиком");

    // The same from a file on disk, cut in the middle of its audio.
    writeFile(path("cut.mp3"), mp3.left(tagEnd + (mp3.size() - tagEnd) / 2));
    EXPECT_EQ(read("cut.mp3", 2000), "Целиком | A | B | 3 | 2000 | cover");
    EXPECT_EQ(TagReader::readCover(path("cut.mp3")).data, readFile(path("cover.png")));
}

// Things named like media that are none: empty tags, no cover, and no wait (a pipe would block an open).
TEST_F(TagReaderTest, WhatIsNoAudioGivesEmptyTags)
{
    ASSERT_EQ(TagFixtures::picture(path("picture.png"), "red"), "");
    ASSERT_TRUE(Mp3Fixture::writeBroken(path("page.mp3")));
    writeFile(path("picture.mp3"), readFile(path("picture.png")));
    writeFile(path("picture.mp4"), readFile(path("picture.png")));
    writeFile(path("empty.mp3"), QByteArray());
    writeFile(path("zeros.m4a"), QByteArray(4096, '\0'));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.mp3"));
    ASSERT_EQ(::mkfifo(path("pipe.mp3").toLocal8Bit().constData(), 0600), 0);
    for (const char *name : {"page.mp3", "picture.mp3", "picture.mp4", "empty.mp3", "zeros.m4a", "folder.mp3",
                             "pipe.mp3", "none.mp3"}) {
        EXPECT_EQ(TagReader::read(path(name)), TrackTags()) << name;
        EXPECT_TRUE(TagReader::readCover(path(name)).isNull()) << name;
    }
}

// The content decides over the name: an MP4 named .mp3 and an MP3 named .mp4 are read as what they are.
TEST_F(TagReaderTest, ContentDecidesTheFormatBeforeTheName)
{
    ASSERT_EQ(TagFixtures::mp4(path("real.m4a"), {"MP4 inside", "", "", "", ""}), "");
    ASSERT_EQ(TagFixtures::mp3(path("real.mp3"), {"MP3 inside", "", "", "", ""}), "");
    ASSERT_TRUE(QFile::rename(path("real.m4a"), path("named.mp3")));
    ASSERT_TRUE(QFile::rename(path("real.mp3"), path("named.mp4")));
    EXPECT_EQ(TagReader::read(path("named.mp3")).title, "MP4 inside");
    EXPECT_EQ(TagReader::read(path("named.mp4")).title, "MP3 inside");

    const struct
    {
        const char *name;
        QByteArray head;
        Format format;
    } cases[] = {{"a.MP3", QByteArray(12, '\0'), Format::Mpeg},
                 {"a.M4A", QByteArray(12, '\0'), Format::Mp4},
                 {"a.txt", QByteArray("\xFF\xFB\x90\x00", 4), Format::Mpeg},
                 {"a.txt",
                  QByteArray("\0\0\0\x20"
                             "ftypM4A ",
                             12),
                  Format::Mp4},
                 {"a.txt", "<html>", Format::Unknown},
                 {"mp3", "ID", Format::Unknown}};
    for (const auto &c : cases)
        EXPECT_EQ(TagReader::formatOf(c.name, c.head), c.format) << c.name << " " << c.head.toHex().data();
}

// An ID3v2.4 tag of APIC frames before the audio.
QByteArray withPictures(const QList<QByteArray> &pictures, const QByteArray &audio)
{
    return Mp3Fixture::id3Tag(pictures.join()) + audio;
}

QByteArray pictureFrame(const QByteArray &mimeType, char type, const QByteArray &data)
{
    return Mp3Fixture::id3Frame("APIC", '\0' + mimeType + '\0' + type + QByteArray("\0", 1) + data);
}

// Which picture is the cover: the front cover before others, never a link, and whatever the bytes are rather
// than the type the tag declares.
TEST_F(TagReaderTest, CoverIsTheFrontPictureAsItsBytesSay)
{
    ASSERT_EQ(TagFixtures::picture(path("png.png"), "red"), "");
    ASSERT_EQ(TagFixtures::picture(path("jpeg.jpg"), "blue"), "");
    ASSERT_EQ(TagFixtures::mp3(path("plain.mp3"), {}, 1, 0), "");
    const QByteArray png = readFile(path("png.png"));
    const QByteArray jpeg = readFile(path("jpeg.jpg"));
    const QByteArray audio = readFile(path("plain.mp3"));
    const QByteArray link = pictureFrame("-->", 3, "https://example.org/cover.jpg");
    const QByteArray junk = pictureFrame("image/jpeg", 3, QByteArray(200, 'x'));

    const QByteArray front = withPictures(
        {pictureFrame("image/png", 0, jpeg), link, junk, pictureFrame("image/jpeg", 3, png)}, audio);
    TagReader::Cover cover = TagReader::readCoverBytes(front, Format::Mpeg);
    EXPECT_EQ(cover.data, png);
    EXPECT_EQ(cover.mimeType, "image/png");
    EXPECT_TRUE(TagReader::readBytes(front, Format::Mpeg).hasCover);

    cover = TagReader::readCoverBytes(withPictures({link, pictureFrame("", 8, jpeg)}, audio), Format::Mpeg);
    EXPECT_EQ(cover.data, jpeg);
    EXPECT_EQ(cover.suffix, "jpg");

    const QByteArray none = withPictures({link, junk}, audio);
    EXPECT_TRUE(TagReader::readCoverBytes(none, Format::Mpeg).isNull());
    EXPECT_FALSE(TagReader::readBytes(none, Format::Mpeg).hasCover);
}

// Text as older programs wrote it: Cyrillic letters in code page 1251, others in Latin-1.
QByteArray legacyBytes(const QString &text, int length = -1)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x410 && u <= 0x44F)
            bytes += char(0xC0 + (u - 0x410));
        else if (u == 0x401 || u == 0x451)
            bytes += u == 0x401 ? '\xA8' : '\xB8';
        else
            bytes += c.toLatin1();
    }
    if (length >= 0)
        bytes.resize(length, '\0');
    return bytes;
}

// Russian tags of older programs: Windows-1251 bytes in ID3v1 and in ID3v2 frames marked Latin-1 read as the
// Cyrillic they are, while Western names in Latin-1 stay as they are.
TEST_F(TagReaderTest, LegacyCyrillicTagsReadInTheirCodePage)
{
    ASSERT_EQ(TagFixtures::mp3(path("plain.mp3"), {}, 1, 0), "");
    const QByteArray audio = readFile(path("plain.mp3"));

    const auto id3v1 = [&](const QString &title, const QString &artist, const QString &album) {
        return line(TagReader::readBytes(audio + "TAG" + legacyBytes(title, 30) + legacyBytes(artist, 30) +
                                             legacyBytes(album, 30) + "1988" + QByteArray(28, '\0') + '\0' +
                                             char(5) + char(255),
                                         Format::Mpeg));
    };
    EXPECT_EQ(id3v1("Звезда по имени Солнце", "Кино", "Группа крови"),
              "Звезда по имени Солнце | Кино | Группа крови | 5 | 1988 | no cover");
    EXPECT_EQ(id3v1("Jóga", "Björk", "Homogenic"), "Jóga | Björk | Homogenic | 5 | 1988 | no cover");

    // ID3v2.3 text frames marked Latin-1 (encoding byte 0).
    const auto frame = [](const char *id, const QString &text) {
        return Mp3Fixture::id3Frame(id, '\0' + legacyBytes(text));
    };
    const QByteArray frames = frame("TIT2", "Ёлка") + frame("TPE1", "Сплин feat. Bi-2") +
                              frame("TALB", "Björk: Café Canção") + frame("TRCK", "3/12");
    EXPECT_EQ(line(TagReader::readBytes(Mp3Fixture::id3Tag(frames, 3) + audio, Format::Mpeg)),
              "Ёлка | Сплин feat. Bi-2 | Björk: Café Canção | 3 | 0 | no cover");
}

// TagLib's reader, counting its reads and noting whether one ever ran on the main thread.
struct CountingReader
{
    std::shared_ptr<std::atomic<int>> tagReads = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> coverReads = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<bool>> onMainThread = std::make_shared<std::atomic<bool>>(false);

    TagCache::Reader reader() const
    {
        // `read`, counted in `reads`, noting a read on the main thread.
        const auto counted = [main = onMainThread](std::shared_ptr<std::atomic<int>> reads, auto read) {
            return [=](const QString &path) {
                ++*reads;
                if (QThread::currentThread() == QCoreApplication::instance()->thread())
                    *main = true;
                return read(path);
            };
        };
        return {counted(tagReads, TagReader::read), counted(coverReads, TagReader::readCover)};
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

// The cache over the reader, counting what it reads.
class TagCacheTest : public TagReaderTest
{
protected:
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
    EXPECT_EQ(readFile(cache.coverPath(path("c.mp3"))), readFile(path("red.png")));
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
    const QByteArray good = readFile(folder() + "/tags.cache");
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
            writeFile(folder() + "/tags.cache", content);
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
        EXPECT_EQ(readFile(red), readFile(path("red.png")));
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
        EXPECT_EQ(readFile(cache.coverPath(path("c.mp3"))), readFile(path("blue.jpg")));
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
    EXPECT_EQ(readFile(red), readFile(path("red.png")));
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
    const QByteArray goneBytes = readFile(path("gone.mp3"));
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
    writeFile(path("gone.mp3"), goneBytes);
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
    const QByteArray before = readFile(file);
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
        writeFile(path(QStringLiteral("f%1.mp3").arg(i)), "x");
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
