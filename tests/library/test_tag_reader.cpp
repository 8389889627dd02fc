#include "library/TagReader.h"

#include "../support/Mp3Fixture.h"
#include "TagFixtures.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace
