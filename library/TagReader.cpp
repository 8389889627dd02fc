#include "library/TagReader.h"

#include <QFile>
#include <QFileInfo>

#include "decoding/Text.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>

#include <algorithm>
#include <cstring>

using TagReader::Cover;
using TagReader::Format;

namespace {

QString text(const TagLib::String &value)
{
    const std::string utf8 = value.to8Bit(true);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).trimmed();
}

// Russian tags written by older programs hold Windows-1251 bytes where ID3 says Latin-1 (all of ID3v1, ID3v2
// frames marked Latin-1). Cyrillic letters there are bytes from 0xC0 up (and Ё, ё), which Latin-1 reads as
// accented Latin letters; a text is taken for Windows-1251 when such letters outnumber the plain Latin ones
// or stand three in a row, as they do in every Cyrillic word and seldom in a Western name ("Björk",
// "Canção").
bool looksLikeWindows1251(const TagLib::ByteVector &bytes)
{
    int cyrillic = 0;
    int latin = 0;
    int run = 0;
    int longestRun = 0;
    for (const char c : bytes) {
        const uchar b = uchar(c);
        if (b >= 0xC0 || b == 0xA8 || b == 0xB8) {
            ++cyrillic;
            longestRun = std::max(longestRun, ++run);
            continue;
        }
        run = 0;
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))
            ++latin;
    }
    return cyrillic > latin || longestRun >= 3;
}

TagLib::String latin1Text(TagLib::ByteVector bytes)
{
    // ID3v1 hands over whole fields, NUL padding (and whatever follows it) included.
    const int end = bytes.find('\0');
    if (end >= 0)
        bytes.resize(unsigned(end));
    if (!looksLikeWindows1251(bytes))
        return TagLib::String(bytes, TagLib::String::Latin1);
    const QString text = Text::decodeWindows1251(QByteArray(bytes.data(), qsizetype(bytes.size())));
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

class Id3v1Text : public TagLib::ID3v1::StringHandler
{
public:
    TagLib::String parse(const TagLib::ByteVector &data) const override { return latin1Text(data); }
};

class Id3v2Latin1Text : public TagLib::ID3v2::Latin1StringHandler
{
public:
    TagLib::String parse(const TagLib::ByteVector &data) const override { return latin1Text(data); }
};

// TagLib keeps one handler each for the whole process; they are set once, before the first file is read.
void useLatin1Handlers()
{
    static const Id3v1Text id3v1;
    static const Id3v2Latin1Text id3v2;
    static const bool set = [] {
        TagLib::ID3v1::Tag::setStringHandler(&id3v1);
        TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
        return true;
    }();
    (void)set;
}

// Track numbers and years are unsigned in TagLib; a value no file really holds is taken for none.
int number(unsigned int value, unsigned int largest)
{
    return value <= largest ? int(value) : 0;
}

void takeTexts(const TagLib::Tag *tag, TrackTags &tags)
{
    if (!tag)
        return;
    tags.title = text(tag->title());
    tags.artist = text(tag->artist());
    tags.album = text(tag->album());
    tags.trackNumber = number(tag->track(), 99999);
    tags.year = number(tag->year(), 9999);
}

void takeDuration(const TagLib::AudioProperties *properties, TrackTags &tags)
{
    if (properties && properties->lengthInMilliseconds() > 0)
        tags.durationMs = properties->lengthInMilliseconds();
}

// A picture's format from its first bytes: the MIME type a tag declares is often missing or wrong
// ("image/jpg", a PNG declared as JPEG), and the cover file is named after what the bytes are.
Cover coverOf(const TagLib::ByteVector &picture)
{
    struct Signature
    {
        const char *magic;
        size_t offset;
        const char *mimeType;
        const char *suffix;
    };
    static constexpr Signature signatures[] = {
        {"\xFF\xD8\xFF", 0, "image/jpeg", "jpg"}, {"\x89PNG\r\n\x1A\n", 0, "image/png", "png"},
        {"GIF8", 0, "image/gif", "gif"},          {"BM", 0, "image/bmp", "bmp"},
        {"WEBP", 8, "image/webp", "webp"},
    };
    for (const Signature &signature : signatures) {
        const size_t length = std::strlen(signature.magic);
        if (picture.size() < signature.offset + length + 4)
            continue;
        if (std::memcmp(picture.data() + signature.offset, signature.magic, length) != 0)
            continue;
        if (signature.offset == 8 && std::memcmp(picture.data(), "RIFF", 4) != 0)
            continue;
        return Cover{QByteArray(picture.data(), qsizetype(picture.size())),
                     QString::fromLatin1(signature.mimeType), QString::fromLatin1(signature.suffix)};
    }
    return {};
}

Cover mpegCover(TagLib::MPEG::File &file)
{
    if (!file.hasID3v2Tag())
        return {};
    Cover first;
    for (TagLib::ID3v2::Frame *frame : file.ID3v2Tag()->frameList("APIC")) {
        // ID3v2.2's PIC frames arrive here as APIC too: TagLib's frame factory converts them.
        const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame);
        if (!picture)
            continue;
        Cover cover = coverOf(picture->picture());
        if (cover.isNull())
            continue;
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            return cover;
        if (first.isNull())
            first = std::move(cover);
    }
    return first;
}

Cover mp4Cover(TagLib::MP4::File &file)
{
    TagLib::MP4::Tag *tag = file.tag();
    if (!tag || !tag->contains("covr"))
        return {};
    for (const TagLib::MP4::CoverArt &art : tag->item("covr").toCoverArtList()) {
        Cover cover = coverOf(art.data());
        if (!cover.isNull())
            return cover;
    }
    return {};
}

struct Reading
{
    TrackTags tags;
    Cover cover;
};

Reading readStream(TagLib::IOStream *stream, Format format, bool keepCover)
{
    useLatin1Handlers();
    Reading reading;
    Cover cover;
    // TagLib reports damage by leaving things out rather than by exceptions, but it allocates what a file
    // declares: a failed allocation must not reach the worker thread's event loop.
    try {
        if (format == Format::Mpeg) {
            TagLib::MPEG::File file(stream, TagLib::ID3v2::FrameFactory::instance(), true,
                                    TagLib::AudioProperties::Average);
            if (!file.isValid())
                return {};
            // MPEG's tag() is the union of ID3v2, APE and ID3v1: each field comes from the first that has it.
            takeTexts(file.tag(), reading.tags);
            takeDuration(file.audioProperties(), reading.tags);
            cover = mpegCover(file);
        } else if (format == Format::Mp4) {
            TagLib::MP4::File file(stream, true, TagLib::AudioProperties::Average);
            if (!file.isValid())
                return {};
            takeTexts(file.tag(), reading.tags);
            takeDuration(file.audioProperties(), reading.tags);
            cover = mp4Cover(file);
        }
    } catch (...) {
        return {};
    }
    reading.tags.hasCover = !cover.isNull();
    if (keepCover)
        reading.cover = std::move(cover);
    return reading;
}

Reading readFile(const QString &path, bool keepCover)
{
    // Only a regular file: opening a pipe named "x.mp3" would wait for a writer for ever.
    if (!QFileInfo(path).isFile())
        return {};
    TagLib::FileStream stream(QFile::encodeName(path).constData(), true);
    if (!stream.isOpen())
        return {};
    const TagLib::ByteVector head = stream.readBlock(12);
    stream.seek(0);
    const Format format = TagReader::formatOf(path, QByteArray(head.data(), qsizetype(head.size())));
    if (format == Format::Unknown)
        return {};
    return readStream(&stream, format, keepCover);
}

Reading readMemory(const QByteArray &bytes, Format format, bool keepCover)
{
    TagLib::ByteVectorStream stream(TagLib::ByteVector(bytes.constData(), unsigned(bytes.size())));
    return readStream(&stream, format, keepCover);
}

} // namespace

Format TagReader::formatOf(const QString &path, const QByteArray &head)
{
    if (head.size() >= 8 && head.mid(4, 4) == "ftyp")
        return Format::Mp4;
    if (head.startsWith("ID3"))
        return Format::Mpeg;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mp3") || suffix == QLatin1String("mp2") || suffix == QLatin1String("mpga"))
        return Format::Mpeg;
    static const QStringList mp4Suffixes{QStringLiteral("mp4"), QStringLiteral("m4a"), QStringLiteral("m4b"),
                                         QStringLiteral("m4v"), QStringLiteral("mov")};
    if (mp4Suffixes.contains(suffix))
        return Format::Mp4;
    if (head.size() >= 2 && uchar(head[0]) == 0xFF && (uchar(head[1]) & 0xE0) == 0xE0)
        return Format::Mpeg;
    return Format::Unknown;
}

TrackTags TagReader::read(const QString &path)
{
    return readFile(path, false).tags;
}

Cover TagReader::readCover(const QString &path)
{
    return readFile(path, true).cover;
}

TrackTags TagReader::readBytes(const QByteArray &bytes, Format format)
{
    return readMemory(bytes, format, false).tags;
}

Cover TagReader::readCoverBytes(const QByteArray &bytes, Format format)
{
    return readMemory(bytes, format, true).cover;
}
