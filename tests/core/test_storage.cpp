// The program's own files: names cleaned for the file system, the folders, the settings, clearing the data,
// and the property lists that requests and playlists are kept in.
#include "../support/Files.h"

#include "core/DataReset.h"
#include "core/PropertyList.h"
#include "core/Settings.h"
#include "core/Storage.h"
#include "core/StorageLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <algorithm>
#include <limits>
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

// ---- property lists

using TestSupport::readFile;
using TestSupport::writeFile;

using PropertyList::Error;

QByteArray binaryOf(plist_t plist)
{
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(plist, &bin, &length);
    QByteArray data(bin, qsizetype(length));
    plist_to_bin_free(bin);
    return data;
}

QByteArray bigEndian(quint64 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

// A binary list made by hand: the objects' bytes (references in them `refSize` bytes wide), a four-byte
// offset table and the trailer.
QByteArray binaryList(const QList<QByteArray> &objects, int refSize, quint64 top = 0)
{
    QByteArray data("bplist00");
    QList<quint64> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(quint64(data.size()));
        data += object;
    }
    const quint64 table = quint64(data.size());
    for (const quint64 offset : offsets)
        data += bigEndian(offset, 4);
    data += QByteArray(6, '\0');
    data += char(4);
    data += char(refSize);
    data += bigEndian(quint64(objects.size()), 8) + bigEndian(top, 8) + bigEndian(table, 8);
    return data;
}

// `levels` arrays, each holding the next one; the innermost holds nothing.
QByteArray nestedBinaryArrays(int levels)
{
    QList<QByteArray> objects;
    for (int i = 0; i < levels - 1; ++i)
        objects.append(QByteArray(1, char(0xA1)) + bigEndian(quint64(i + 1), 4));
    objects.append(QByteArray(1, char(0xA0)));
    return binaryList(objects, 4);
}

QByteArray nestedXmlArrays(int levels, bool closed)
{
    QByteArray data("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">");
    data += QByteArray("<array>").repeated(levels);
    if (closed)
        data += QByteArray("</array>").repeated(levels) + "</plist>";
    return data;
}

// Records how deep the reader went.
class DepthProbe : public PropertyList::Handler
{
public:
    int depth = 0;
    int deepest = 0;
    void beginArray(qsizetype) override { deepest = std::max(deepest, ++depth); }
    void beginDict() override { deepest = std::max(deepest, ++depth); }
    void endContainer() override { --depth; }
    void key(QString &&) override {}
    void string(QString &&) override {}
    void integer(qint64) override {}
    void real(double) override {}
    void boolean(bool) override {}
    void other() override {}
};

TEST(PropertyList, FilesRoundTripAsXmlArraysAndBinaryFilesReadAlike)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AudioSearchRequest.tune");
    EXPECT_FALSE(PropertyList::readRequest(path).has_value());
    for (const QString &request : {QStringLiteral("  Кино & <Ария> "), QString()}) {
        ASSERT_TRUE(PropertyList::writeRequest(path, request));
        EXPECT_EQ(PropertyList::readRequest(path).value_or(QStringLiteral("missing")), request);
    }
    const QByteArray xml = TestSupport::readFile(path);
    EXPECT_TRUE(xml.startsWith("<?xml") && xml.contains("<array>")) << xml.constData();

    const QString list = dir.filePath("list.tuneplaylist");
    const QVariantList entries{QVariantList{"a.mp3", "1"}, QVariantList{"sub/b.mp3", "0"}};
    ASSERT_EQ(PropertyList::write(list, entries), PropertyList::WriteResult::Written);
    EXPECT_EQ(PropertyList::read(list).value_or(QVariant()).toList(), entries);

    // A binary property list written by another program reads the same.
    plist_t array = plist_new_array();
    plist_array_append_item(array, plist_new_string("двоичный"));
    writeFile(path, binaryOf(array));
    plist_free(array);
    EXPECT_EQ(PropertyList::readRequest(path).value_or(QString()), QStringLiteral("двоичный"));
}

// Every kind of value, written as XML by us and as binary by libplist, reads to the same tree.
TEST(PropertyList, XmlAndBinaryOfOneDocumentReadAlike)
{
    const QString odd = QStringLiteral("Tab\there, CR\r, LF\n, & < > \" ' ]]> \u0001 Ёлка 🎵");
    QVariantMap dict{{"text", odd}, {"int", qint64(-5)}, {"big", qint64(1) << 40}, {"real", 2.5},
                     {"yes", true}, {"no", false},       {"empty", QString()},     {"list", QVariantList{}}};
    const QVariantList document{QVariantList{"a/b.mp3", "0"}, dict,
                                QVariantList{QVariantList{QVariantList{"deep"}}}};
    const std::optional<QByteArray> xml = PropertyList::toXml(document);
    ASSERT_TRUE(xml.has_value());
    const std::optional<QVariant> fromXml = PropertyList::fromData(*xml);
    ASSERT_TRUE(fromXml.has_value()) << xml->constData();
    EXPECT_EQ(fromXml->toList(), document);

    plist_t plist = nullptr;
    plist_from_xml(xml->constData(), uint32_t(xml->size()), &plist);
    ASSERT_NE(plist, nullptr);
    const QByteArray binary = binaryOf(plist);
    plist_free(plist);
    const std::optional<QVariant> fromBinary = PropertyList::fromData(binary);
    ASSERT_TRUE(fromBinary.has_value());
    EXPECT_EQ(fromBinary->toList(), document);
}

// XML as other writers spell it: no <plist> element, comments, CDATA, references, attributes, a byte-order
// mark, empty elements, dates and data (kept as values of no use), hexadecimal integers.
TEST(PropertyList, XmlInTheFormsOtherWritersUse)
{
    const QByteArray head =
        "\xEF\xBB\xBF<?xml version='1.0'?>\n<!-- made by hand -->\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\" [ <!ELEMENT a (b)> ]>\n"
        "<plist version=\"1.0\" note='a > b'>\n<array >\n"
        "  <string>R&amp;B &lt;live&gt; &#1025;&#x436; &quot;&apos;</string>\n"
        "  <string><![CDATA[<raw & text>]]> and <!-- no --> more</string>\n"
        "  <string/>\n";
    EXPECT_FALSE(PropertyList::fromData(head + "<key-less/></array></plist>").has_value())
        << "an unknown element";

    const std::optional<QVariant> value =
        PropertyList::fromData(head + "  <dict><key>d</key><date>2024-01-01T00:00:00Z</date>"
                                      "<key>b</key><data>AAEC</data><key>h</key><integer> 0x1F </integer>"
                                      "<key>t</key><true></true><key>e</key><dict/></dict>\n"
                                      "</array>\n</plist>\n<!-- after -->");
    ASSERT_TRUE(value.has_value());
    const QVariantList list = value->toList();
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list.mid(0, 3), (QVariantList{QStringLiteral("R&B <live> Ёж \"'"),
                                            QStringLiteral("<raw & text> and  more"), QString()}));
    const QVariantMap map = list.at(3).toMap();
    EXPECT_FALSE(map.value("d").isValid());
    EXPECT_TRUE(map.contains("b"));
    EXPECT_EQ(map.value("h").toLongLong(), 31);
    EXPECT_EQ(map.value("t").toBool(), true);
    EXPECT_EQ(map.value("e").toMap(), QVariantMap());

    EXPECT_EQ(
        PropertyList::fromData("<array><real>-1.5e3</real><integer>-9223372036854775808</integer></array>")
            .value_or(QVariant())
            .toList(),
        (QVariantList{-1500.0, std::numeric_limits<qint64>::min()}));
}

// A file is read a window at a time: elements cut by the window's end, texts longer than the window, and a
// file cut anywhere read as the same bytes in memory do.
TEST(PropertyList, LargeXmlFilesReadInPartsAsInOne)
{
    QByteArray xml("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n");
    for (int i = 0; i < 30000; ++i) {
        xml += "\t<array><string>Папка " + QByteArray::number(i % 7) + "/Трек &amp; " +
               QByteArray::number(i) + QByteArray(i % 97, 'x') + ".mp3</string><string>0</string></array>\n";
        if (i == 9000)
            xml += "<!-- " + QByteArray(300 * 1024, '-').replace("--", "- ") + " -->";
        if (i == 20000)
            xml += "<string>" + QByteArray(1200 * 1024, 'y') + "<![CDATA[<&>]]></string>";
    }
    xml += "</array>\n</plist>\n";
    QTemporaryDir dir;
    const QString path = dir.filePath("large.tune");
    writeFile(path, xml);
    const std::optional<QVariant> whole = PropertyList::fromData(xml);
    ASSERT_TRUE(whole.has_value());
    ASSERT_EQ(whole->toList().size(), 30001);
    EXPECT_EQ(whole->toList().at(20001).toString().size(), 1200 * 1024 + 3);
    EXPECT_EQ(PropertyList::read(path), whole);

    for (const qsizetype cut : {qsizetype(600 * 1024), xml.size() / 2, xml.size() - 12, xml.size() - 3}) {
        writeFile(path, xml.left(cut));
        DepthProbe probe;
        EXPECT_EQ(PropertyList::parseFile(path, probe), Error::Malformed) << cut;
    }
}

TEST(PropertyList, GarbageAndWrongShapesGiveNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.tune");
    for (const QByteArray &content :
         {QByteArray("not a plist at all"), QByteArray("<?xml version=\"1.0\"?><plist><array>"),
          QByteArray("bplist00\x01\x02"), QByteArray(),
          // References the reader does not know, a text that does not end, values in the wrong places.
          QByteArray("<array><string>&nbsp;</string></array>"), QByteArray("<array><string>a</array>"),
          QByteArray("<plist><array/><array/></plist>"), QByteArray("<dict><string>no key</string></dict>"),
          QByteArray("<dict><key>k</key></dict>"), QByteArray("<array></dict>"),
          QByteArray("<array>x</array>"), QByteArray("<array><integer>12a</integer></array>"),
          QByteArray("<array><true>1</true></array>"), QByteArray("<plist></plist>"),
          QByteArray("<array><string>&#xD800;</string></array>")}) {
        writeFile(path, content);
        EXPECT_FALSE(PropertyList::readRequest(path).has_value()) << content.constData();
        EXPECT_FALSE(PropertyList::fromData(content).has_value()) << content.constData();
    }
    ASSERT_EQ(PropertyList::write(path, QVariantList{QVariantList{"nested"}}),
              PropertyList::WriteResult::Written);
    EXPECT_FALSE(PropertyList::readRequest(path).has_value()); // element 0 is no text
    ASSERT_EQ(PropertyList::write(path, QVariantList{}), PropertyList::WriteResult::Written);
    EXPECT_FALSE(PropertyList::readRequest(path).has_value());
}

// Inputs the fuzzer found to crash the reader; each must read (or be refused) without ending the program.
TEST(PropertyList, FuzzerFindingsAreReadWithoutCrashing)
{
    const QString folder = QStringLiteral(MELODROP_TEST_DATA "/fuzz/property_list");
    // A string holding a NUL byte made libplist's copying getter abort.
    const std::optional<QVariant> value = PropertyList::fromData(readFile(folder + "/string-with-nul.plist"));
    ASSERT_TRUE(value.has_value());
    ASSERT_EQ(value->toList().size(), 1);
    EXPECT_TRUE(value->toList().first().toString().contains(QChar(0)));

    // A dictionary key holding a NUL in a binary document made libplist abort while the key was read.
    const std::optional<QVariant> nested =
        PropertyList::fromData(readFile(folder + "/binary-key-with-nul.bplist"));
    ASSERT_TRUE(nested.has_value());
    EXPECT_EQ(nested->toList().size(), 2);

    // Nested just past the limit, as XML and as binary.
    for (const char *name : {"/deep-arrays.plist", "/deep-arrays.bplist"}) {
        DepthProbe probe;
        EXPECT_EQ(PropertyList::parse(readFile(folder + name), probe), Error::TooDeep) << name;
        EXPECT_LE(probe.deepest, PropertyList::maxDepth) << name;
    }
}

// Deep nesting overflowed the stack inside libplist: refused at the limit, the limit itself still read.
TEST(PropertyList, NestingDeeperThanTheLimitIsRefused)
{
    QTemporaryDir dir;
    // The reproductions: an autosaved playlist of <plist> and 200,000 <array>, and a binary list of 40,000
    // nested one-element arrays (360 KB).
    const QString xmlPath = dir.filePath("AudioAutosavedPlaylist.tune");
    writeFile(xmlPath, nestedXmlArrays(200000, false));
    EXPECT_FALSE(PropertyList::read(xmlPath).has_value());
    const QByteArray binary = nestedBinaryArrays(40000);
    EXPECT_FALSE(PropertyList::fromData(binary).has_value());
    DepthProbe probe;
    EXPECT_EQ(PropertyList::parseFile(xmlPath, probe), Error::TooDeep);
    probe = {};
    EXPECT_EQ(PropertyList::parse(binary, probe), Error::TooDeep);

    for (const bool isBinary : {false, true}) {
        SCOPED_TRACE(isBinary ? "binary" : "XML");
        for (const int levels : {PropertyList::maxDepth, PropertyList::maxDepth + 1}) {
            const QByteArray data = isBinary ? nestedBinaryArrays(levels) : nestedXmlArrays(levels, true);
            probe = {};
            EXPECT_EQ(PropertyList::parse(data, probe),
                      levels <= PropertyList::maxDepth ? Error::None : Error::TooDeep);
            EXPECT_EQ(probe.deepest, std::min(levels, PropertyList::maxDepth));
        }
    }
    // The writer refuses what the readers would refuse.
    QVariant deep = QVariantList{};
    for (int i = 0; i < PropertyList::maxDepth; ++i)
        deep = QVariantList{deep};
    EXPECT_FALSE(PropertyList::toXml(deep).has_value());
    EXPECT_TRUE(PropertyList::toXml(deep.toList().first()).has_value());
}

// A binary list names its objects by number: one that holds itself, or one whose few bytes name the same
// arrays again and again, must end.
TEST(PropertyList, BinaryListsThatLoopOrExplodeAreRefused)
{
    // Object 0 is an array holding object 1, which holds object 0.
    const QByteArray loop = binaryList({QByteArray("\xA1\x01", 2), QByteArray("\xA1\x00", 2)}, 1);
    DepthProbe probe;
    EXPECT_EQ(PropertyList::parse(loop, probe), Error::Malformed);

    // 30 levels of arrays each naming the next one 15 times: 15^30 values from 500 bytes.
    QList<QByteArray> objects;
    for (int i = 0; i < 30; ++i)
        objects.append(QByteArray(1, char(0xAF)) + QByteArray("\x10\x0F", 2) + QByteArray(15, char(i + 1)));
    objects.append(QByteArray("\x51x", 2));
    EXPECT_EQ(PropertyList::parse(binaryList(objects, 1), probe), Error::TooLarge);

    // The same array named twice, as Python's plistlib writes a list that appears twice, is fine.
    const QByteArray shared =
        binaryList({QByteArray("\xA2\x01\x01", 3), QByteArray("\xA1\x02", 2), QByteArray("\x51x", 2)}, 1);
    EXPECT_EQ(PropertyList::fromData(shared).value_or(QVariant()).toList(),
              (QVariantList{QVariantList{"x"}, QVariantList{"x"}}));

    // Offsets, counts and references pointing outside the file.
    for (const QByteArray &bad :
         {binaryList({QByteArray("\xA1\x05", 2)}, 1), binaryList({QByteArray("\x5F\x10\xFFx", 4)}, 1),
          binaryList({QByteArray("\x6F\x13\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10)}, 1),
          binaryList({QByteArray("\xAF\x13\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00", 11)}, 1),
          binaryList({QByteArray("\x51x", 2)}, 1, 3), binaryList({QByteArray("\xD1\x00\x00", 3)}, 1)}) {
        probe = {};
        EXPECT_EQ(PropertyList::parse(bad, probe), Error::Malformed) << bad.toHex().constData();
    }
}

TEST(PropertyList, TheSizeLimitHoldsForReadingAndWriting)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.tune");
    ASSERT_TRUE(PropertyList::writeRequest(path, QStringLiteral("old")));
    // One text that makes the file just larger than the limit.
    const QString text(qsizetype(PropertyList::maxFileSize), QLatin1Char('x'));
    EXPECT_EQ(PropertyList::write(path, QVariantList{text}), PropertyList::WriteResult::TooLarge);
    EXPECT_EQ(PropertyList::readRequest(path).value_or(QString()), QStringLiteral("old"))
        << "the old file stays";

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    ASSERT_TRUE(file.resize(PropertyList::maxFileSize + 1));
    file.close();
    DepthProbe probe;
    EXPECT_EQ(PropertyList::parseFile(path, probe), Error::TooLarge);
    EXPECT_EQ(PropertyList::parseFile(dir.filePath("none.tune"), probe), Error::Missing);
    EXPECT_EQ(PropertyList::parseFile(dir.path(), probe), Error::NotOpened);
}

} // namespace
