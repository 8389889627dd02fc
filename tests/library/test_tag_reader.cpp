#include "library/TagReader.h"

#include "TagFixtures.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using TagReader::Format;

// The tone's length as TagLib reports it: the encoder adds a frame or two of delay and padding.
constexpr qint64 durationSlackMs = 100;

class TagReaderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

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
    const QByteArray v23 = TagFixtures::readAll(path("v23.mp3"));
    const QByteArray v24 = TagFixtures::readAll(path("v24.mp3"));
    ASSERT_TRUE(v23.startsWith(QByteArray("ID3\x03", 4)));
    ASSERT_TRUE(v24.startsWith(QByteArray("ID3\x04", 4)));

    const TrackTags three = TagReader::read(path("v23.mp3"));
    EXPECT_EQ(three.title, "Звезда по имени Солнце");
    EXPECT_EQ(three.artist, "Кино");
    EXPECT_EQ(three.album, "Звезда");
    EXPECT_EQ(three.trackNumber, 5);
    EXPECT_EQ(three.year, 1989);
    EXPECT_NEAR(three.durationMs, 2000, durationSlackMs);
    EXPECT_TRUE(three.hasCover);
    const TagReader::Cover png = TagReader::readCover(path("v23.mp3"));
    EXPECT_EQ(png.data, TagFixtures::readAll(path("cover.png")));
    EXPECT_EQ(png.mimeType, "image/png");
    EXPECT_EQ(png.suffix, "png");

    const TrackTags four = TagReader::read(path("v24.mp3"));
    EXPECT_EQ(four.title, "Группа крови");
    EXPECT_EQ(four.artist, "Кино & Виктор Цой");
    EXPECT_EQ(four.album, "Группа крови");
    EXPECT_EQ(four.trackNumber, 1);
    EXPECT_EQ(four.year, 1988);
    EXPECT_NEAR(four.durationMs, 3000, durationSlackMs);
    EXPECT_TRUE(four.hasCover);
    const TagReader::Cover jpeg = TagReader::readCover(path("v24.mp3"));
    EXPECT_EQ(jpeg.data, TagFixtures::readAll(path("cover.jpg")));
    EXPECT_EQ(jpeg.mimeType, "image/jpeg");
    EXPECT_EQ(jpeg.suffix, "jpg");

    // The in-memory stream the fuzzer uses reads the same.
    EXPECT_EQ(TagReader::readBytes(v23, Format::Mpeg), three);
    EXPECT_EQ(TagReader::readCoverBytes(v24, Format::Mpeg).data, jpeg.data);
}

// A file with ID3v1 only: every field it can hold is read from it.
TEST_F(TagReaderTest, Id3v1AloneIsRead)
{
    ASSERT_EQ(TagFixtures::mp3(path("both.mp3"), {"Only v1", "Some Artist", "Some Album", "7", "1999"}, 2, 4,
                               {}, true),
              "");
    QByteArray bytes = TagFixtures::readAll(path("both.mp3"));
    ASSERT_TRUE(bytes.right(128).startsWith("TAG"));
    bytes.remove(0, TagFixtures::id3v2Size(bytes));
    ASSERT_TRUE(TagFixtures::writeAll(path("v1.mp3"), bytes));

    const TrackTags tags = TagReader::read(path("v1.mp3"));
    EXPECT_EQ(tags.title, "Only v1");
    EXPECT_EQ(tags.artist, "Some Artist");
    EXPECT_EQ(tags.album, "Some Album");
    EXPECT_EQ(tags.trackNumber, 7);
    EXPECT_EQ(tags.year, 1999);
    EXPECT_NEAR(tags.durationMs, 2000, durationSlackMs);
    EXPECT_FALSE(tags.hasCover);
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
    const TrackTags song = TagReader::read(path("song.m4a"));
    EXPECT_EQ(song.title, "Песня");
    EXPECT_EQ(song.artist, "Исполнитель");
    EXPECT_EQ(song.album, "Альбом");
    EXPECT_EQ(song.trackNumber, 4);
    EXPECT_EQ(song.year, 2001);
    EXPECT_NEAR(song.durationMs, 2000, durationSlackMs);
    EXPECT_TRUE(song.hasCover);
    const TagReader::Cover cover = TagReader::readCover(path("song.m4a"));
    EXPECT_EQ(cover.data, TagFixtures::readAll(path("cover.jpg")));
    EXPECT_EQ(cover.mimeType, "image/jpeg");

    const TrackTags clip = TagReader::read(path("clip.mp4"));
    EXPECT_EQ(clip.title, "Клип");
    EXPECT_EQ(clip.artist, "Artist");
    EXPECT_EQ(clip.album, "");
    EXPECT_EQ(clip.trackNumber, 2);
    EXPECT_EQ(clip.year, 2015);
    EXPECT_NEAR(clip.durationMs, 3000, durationSlackMs);
    EXPECT_EQ(TagReader::readCover(path("clip.mp4")).data, cover.data);

    EXPECT_EQ(TagReader::readBytes(TagFixtures::readAll(path("song.m4a")), Format::Mp4), song);
}

// No tags at all: empty texts, no numbers, no cover, but the duration of the audio.
TEST_F(TagReaderTest, UntaggedFilesStillGiveTheirDuration)
{
    ASSERT_EQ(TagFixtures::mp3(path("plain.mp3"), {}, 3, 0), "");
    ASSERT_EQ(TagFixtures::mp4(path("plain.m4a"), {}, 3), "");
    ASSERT_FALSE(TagFixtures::readAll(path("plain.mp3")).startsWith("ID3"));
    for (const QString &name : {QStringLiteral("plain.mp3"), QStringLiteral("plain.m4a")}) {
        SCOPED_TRACE(name.toStdString());
        TrackTags tags = TagReader::read(path(name));
        EXPECT_NEAR(tags.durationMs, 3000, durationSlackMs);
        tags.durationMs = 0;
        EXPECT_EQ(tags, TrackTags());
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
    const QByteArray mp3 = TagFixtures::readAll(path("whole.mp3"));
    const QByteArray mp4 = TagFixtures::readAll(path("whole.m4a"));
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
    ASSERT_TRUE(TagFixtures::writeAll(path("cut.mp3"), mp3.left(tagEnd + (mp3.size() - tagEnd) / 2)));
    const TrackTags cut = TagReader::read(path("cut.mp3"));
    EXPECT_EQ(cut.title, "Целиком");
    EXPECT_EQ(cut.trackNumber, 3);
    EXPECT_EQ(TagReader::readCover(path("cut.mp3")).data, TagFixtures::readAll(path("cover.png")));
}

// Things named like media that are none: empty tags, no cover, and no wait (a pipe would block an open).
TEST_F(TagReaderTest, WhatIsNoAudioGivesEmptyTags)
{
    ASSERT_EQ(TagFixtures::picture(path("picture.png"), "red"), "");
    ASSERT_TRUE(TagFixtures::writeAll(path("page.mp3"), "<html><body>404 Not Found</body></html>\n"));
    ASSERT_TRUE(TagFixtures::writeAll(path("picture.mp3"), TagFixtures::readAll(path("picture.png"))));
    ASSERT_TRUE(TagFixtures::writeAll(path("picture.mp4"), TagFixtures::readAll(path("picture.png"))));
    ASSERT_TRUE(TagFixtures::writeAll(path("empty.mp3"), QByteArray()));
    ASSERT_TRUE(TagFixtures::writeAll(path("zeros.m4a"), QByteArray(4096, '\0')));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.mp3"));
    ASSERT_EQ(::mkfifo(path("pipe.mp3").toLocal8Bit().constData(), 0600), 0);
    for (const char *name : {"page.mp3", "picture.mp3", "picture.mp4", "empty.mp3", "zeros.m4a", "folder.mp3",
                             "pipe.mp3", "none.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TagReader::read(path(name)), TrackTags());
        EXPECT_TRUE(TagReader::readCover(path(name)).isNull());
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

    EXPECT_EQ(TagReader::formatOf("a.MP3", QByteArray(12, '\0')), Format::Mpeg);
    EXPECT_EQ(TagReader::formatOf("a.M4A", QByteArray(12, '\0')), Format::Mp4);
    EXPECT_EQ(TagReader::formatOf("a.txt", QByteArray("\xFF\xFB\x90\x00", 4)), Format::Mpeg);
    EXPECT_EQ(TagReader::formatOf("a.txt", QByteArray("\0\0\0\x20"
                                                      "ftypM4A ",
                                                      12)),
              Format::Mp4);
    EXPECT_EQ(TagReader::formatOf("a.txt", "<html>"), Format::Unknown);
    EXPECT_EQ(TagReader::formatOf("mp3", "ID"), Format::Unknown);
}

QByteArray syncsafe(qsizetype size)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= 7)
        bytes[i] = char(size & 0x7f);
    return bytes;
}

QByteArray pictureFrame(const QByteArray &mimeType, char type, const QByteArray &data)
{
    const QByteArray content = '\0' + mimeType + '\0' + type + QByteArray("\0", 1) + data;
    return "APIC" + syncsafe(content.size()) + QByteArray(2, '\0') + content;
}

QByteArray id3v24(const QByteArray &frames)
{
    return QByteArray("ID3\x04\x00\x00", 6) + syncsafe(frames.size()) + frames;
}

// Which picture is the cover: the front cover before others, never a link, and whatever the bytes are rather
// than the type the tag declares.
TEST_F(TagReaderTest, CoverIsTheFrontPictureAsItsBytesSay)
{
    ASSERT_EQ(TagFixtures::picture(path("png.png"), "red"), "");
    ASSERT_EQ(TagFixtures::picture(path("jpeg.jpg"), "blue"), "");
    ASSERT_EQ(TagFixtures::mp3(path("plain.mp3"), {}, 1, 0), "");
    const QByteArray png = TagFixtures::readAll(path("png.png"));
    const QByteArray jpeg = TagFixtures::readAll(path("jpeg.jpg"));
    const QByteArray audio = TagFixtures::readAll(path("plain.mp3"));
    const QByteArray link = pictureFrame("-->", 3, "https://example.org/cover.jpg");
    const QByteArray junk = pictureFrame("image/jpeg", 3, QByteArray(200, 'x'));

    const QByteArray front =
        id3v24(pictureFrame("image/png", 0, jpeg) + link + junk + pictureFrame("image/jpeg", 3, png)) + audio;
    TagReader::Cover cover = TagReader::readCoverBytes(front, Format::Mpeg);
    EXPECT_EQ(cover.data, png);
    EXPECT_EQ(cover.mimeType, "image/png");
    EXPECT_TRUE(TagReader::readBytes(front, Format::Mpeg).hasCover);

    const QByteArray other = id3v24(link + pictureFrame("", 8, jpeg)) + audio;
    cover = TagReader::readCoverBytes(other, Format::Mpeg);
    EXPECT_EQ(cover.data, jpeg);
    EXPECT_EQ(cover.suffix, "jpg");

    const QByteArray none = id3v24(link + junk) + audio;
    EXPECT_TRUE(TagReader::readCoverBytes(none, Format::Mpeg).isNull());
    EXPECT_FALSE(TagReader::readBytes(none, Format::Mpeg).hasCover);
}

// Text as older programs wrote it: Cyrillic letters in code page 1251, others in Latin-1.
QByteArray legacyBytes(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x410 && u <= 0x44F)
            bytes += char(0xC0 + (u - 0x410));
        else if (u == 0x401)
            bytes += '\xA8';
        else if (u == 0x451)
            bytes += '\xB8';
        else
            bytes += c.toLatin1();
    }
    return bytes;
}

QByteArray id3v1Field(const QString &text, int length)
{
    QByteArray field = legacyBytes(text);
    field.resize(length, '\0');
    return field;
}

// An ID3v2.3 text frame marked Latin-1 (encoding byte 0).
QByteArray latin1Frame(const char *id, const QString &text)
{
    const QByteArray content = '\0' + legacyBytes(text);
    return QByteArray(id) + syncsafe(content.size()) + QByteArray(2, '\0') + content;
}

// Russian tags of older programs: Windows-1251 bytes in ID3v1 and in ID3v2 frames marked Latin-1 read as the
// Cyrillic they are, while Western names in Latin-1 stay as they are.
TEST_F(TagReaderTest, LegacyCyrillicTagsReadInTheirCodePage)
{
    ASSERT_EQ(TagFixtures::mp3(path("plain.mp3"), {}, 1, 0), "");
    const QByteArray audio = TagFixtures::readAll(path("plain.mp3"));

    const auto id3v1 = [](const QString &title, const QString &artist, const QString &album) {
        return "TAG" + id3v1Field(title, 30) + id3v1Field(artist, 30) + id3v1Field(album, 30) + "1988" +
               QByteArray(28, '\0') + '\0' + char(5) + char(255);
    };
    TrackTags tags =
        TagReader::readBytes(audio + id3v1("Звезда по имени Солнце", "Кино", "Группа крови"), Format::Mpeg);
    EXPECT_EQ(tags.title, "Звезда по имени Солнце");
    EXPECT_EQ(tags.artist, "Кино");
    EXPECT_EQ(tags.album, "Группа крови");
    EXPECT_EQ(tags.trackNumber, 5);
    EXPECT_EQ(tags.year, 1988);
    tags = TagReader::readBytes(audio + id3v1("Jóga", "Björk", "Homogenic"), Format::Mpeg);
    EXPECT_EQ(tags.title, "Jóga");
    EXPECT_EQ(tags.artist, "Björk");

    const QByteArray frames = latin1Frame("TIT2", "Ёлка") + latin1Frame("TPE1", "Сплин feat. Bi-2") +
                              latin1Frame("TALB", "Björk: Café Canção") + latin1Frame("TRCK", "3/12");
    tags = TagReader::readBytes(QByteArray("ID3\x03\x00\x00", 6) + syncsafe(frames.size()) + frames + audio,
                                Format::Mpeg);
    EXPECT_EQ(tags.title, "Ёлка");
    EXPECT_EQ(tags.artist, "Сплин feat. Bi-2");
    EXPECT_EQ(tags.album, "Björk: Café Canção");
    EXPECT_EQ(tags.trackNumber, 3);
}

} // namespace
