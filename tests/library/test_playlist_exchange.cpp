#include "../support/Files.h"

#include "library/PlaylistExchange.h"
#include "library/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <plist/plist.h>

namespace {

using TestSupport::readFile;
using TestSupport::writeFile;

using PlaylistExchange::Format;
using PlaylistExchange::Imported;
using PlaylistExchange::Track;
using PropertyList::Error;

// The entries with their marks ("file|1" for the current one) when `marks`.
QStringList texts(const QList<PlaylistEntry> &entries, bool marks = true)
{
    QStringList out;
    for (const PlaylistEntry &entry : entries)
        out << entry.file + (!marks ? "" : entry.current ? "|1" : "|0");
    return out;
}

// The entries of the playlist file at `path`, as `texts` gives them.
QStringList entriesOf(const QString &path, bool marks = true)
{
    const std::optional<QList<PlaylistEntry>> entries = PlaylistFile::read(path);
    return entries ? texts(*entries, marks) : QStringList{"<unreadable>"};
}

// The program's own playlist files.

// The entries are taken as they stand, from XML and from binary lists alike; what is not an entry is skipped.
TEST(PlaylistFile, EntriesComeFromXmlAndBinaryListsAlike)
{
    QTemporaryDir dir;
    const QString xmlPath = dir.filePath("list.tuneplaylist");
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
        "<array><string>Рок/Кино - Звезда.mp3</string><string>1</string></array>"
        "<string>not an entry</string>"
        "<array><string>only one text</string></array>"
        "<array><integer>5</integer><string>0</string></array>"
        "<array><string>a.mp3</string><array><string>0</string></array></array>"
        "<dict><key>k</key><string>v</string></dict>"
        "<array><string>R&amp;B.mp3</string><string>0</string><string>extra</string><dict/></array>"
        "<array><string/><string>0</string></array>"
        "</array></plist>";
    writeFile(xmlPath, xml);
    const QStringList expected{"Рок/Кино - Звезда.mp3|1", "R&B.mp3|0", "|0"};
    const PlaylistFile::Loaded fromXml = PlaylistFile::load(xmlPath);
    EXPECT_EQ(fromXml.error, Error::None);
    EXPECT_EQ(texts(fromXml.entries), expected);

    plist_t plist = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &plist);
    ASSERT_NE(plist, nullptr);
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(plist, &bin, &length);
    plist_free(plist);
    const QString binaryPath = dir.filePath("binary.tuneplaylist");
    writeFile(binaryPath, QByteArray(bin, qsizetype(length)));
    plist_to_bin_free(bin);
    EXPECT_EQ(entriesOf(binaryPath), expected);

    // What we write reads back, marks as "0".
    ASSERT_EQ(PlaylistFile::write(xmlPath, fromXml.entries), PropertyList::WriteResult::Written);
    EXPECT_EQ(entriesOf(xmlPath), (QStringList{"Рок/Кино - Звезда.mp3|0", "R&B.mp3|0", "|0"}));
}

// A missing file is a fresh start; anything else that yields no playlist is unreadable and must be kept.
TEST(PlaylistFile, MissingAndUnreadableAreTold)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AudioAutosavedPlaylist.tune");
    PlaylistFile::Loaded loaded = PlaylistFile::load(path);
    EXPECT_EQ(loaded.error, Error::Missing);
    EXPECT_FALSE(loaded.unreadable());

    ASSERT_EQ(PlaylistFile::write(path, {}), PropertyList::WriteResult::Written);
    loaded = PlaylistFile::load(path);
    EXPECT_EQ(loaded.error, Error::None);
    EXPECT_TRUE(loaded.entries.isEmpty());

    // A playlist cut short, a list whose root is no array, an empty file, a folder in the file's place.
    ASSERT_EQ(PlaylistFile::write(path, {{"a.mp3", false}, {"b.mp3", false}, {"c.mp3", false}}),
              PropertyList::WriteResult::Written);
    const QByteArray whole = readFile(path);
    for (const QByteArray &content :
         {whole.left(whole.size() * 95 / 100), QByteArray("<plist><dict/></plist>"),
          QByteArray("<plist><string>x</string></plist>"), QByteArray()}) {
        writeFile(path, content);
        loaded = PlaylistFile::load(path);
        EXPECT_TRUE(loaded.unreadable()) << content.constData();
        EXPECT_FALSE(PlaylistFile::read(path).has_value());
    }
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_TRUE(PlaylistFile::load(path).unreadable());
}

TEST(PlaylistFile, AnUnreadableFileIsSetAsideWithoutReplacingAnEarlierOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AudioAutosavedPlaylist.tune");
    writeFile(path, "first");
    EXPECT_EQ(PlaylistFile::setAside(path), path + QStringLiteral(".unreadable"));
    EXPECT_FALSE(QFileInfo::exists(path));
    writeFile(path, "second");
    EXPECT_EQ(PlaylistFile::setAside(path), path + QStringLiteral(".2.unreadable"));
    writeFile(path, "third");
    EXPECT_EQ(PlaylistFile::setAside(path), path + QStringLiteral(".3.unreadable"));
    EXPECT_EQ(readFile(path + QStringLiteral(".unreadable")), QByteArray("first"));
    EXPECT_EQ(readFile(path + QStringLiteral(".2.unreadable")), QByteArray("second"));
    EXPECT_EQ(readFile(path + QStringLiteral(".3.unreadable")), QByteArray("third"));
    EXPECT_TRUE(PlaylistFile::setAside(dir.filePath("none.tune")).isEmpty());
}

TEST(PlaylistFile, AListTooLargeToBeReadIsNotWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AudioAutosavedPlaylist.tune");
    const QList<PlaylistEntry> old{{"old.mp3", false}};
    ASSERT_EQ(PlaylistFile::write(path, old), PropertyList::WriteResult::Written);
    const QList<PlaylistEntry> huge{{QString(qsizetype(PropertyList::maxFileSize), QLatin1Char('x')), false}};
    EXPECT_EQ(PlaylistFile::write(path, huge), PropertyList::WriteResult::TooLarge);
    EXPECT_EQ(entriesOf(path), QStringList{"old.mp3|0"});
}

// Lists of other players, imported into the library and exported from it.

// A documents root as the program lays it out: the library's audio folder, the playlists folder, and a
// folder elsewhere that lists come from.
class PlaylistExchangeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        audio = m_root.path() + QStringLiteral("/Audio");
        playlists = m_root.path() + QStringLiteral("/playlists");
        lists = m_root.path() + QStringLiteral("/Downloads/lists");
        QDir().mkpath(audio);
        QDir().mkpath(lists);
    }

    // Creates library files (relative to the audio folder) and returns their absolute paths.
    QStringList library(const QStringList &relative)
    {
        QStringList paths;
        for (const QString &file : relative) {
            writeFile(audio + QLatin1Char('/') + file, "ID3");
            paths << audio + QLatin1Char('/') + file;
        }
        return paths;
    }

    Imported import(const QString &listPath)
    {
        return PlaylistExchange::importList(listPath, audio, playlists);
    }

    // The outcome and the counts in one line.
    static std::string outcome(const Imported &imported)
    {
        static const char *const outcomes[] = {"done", "unreadable", "not written"};
        return QStringLiteral("%1: %2 found, %3 missing")
            .arg(outcomes[imported.outcome])
            .arg(imported.found)
            .arg(imported.missing)
            .toStdString();
    }
    static QStringList saved(const Imported &imported) { return entriesOf(imported.savedPath, false); }

    QTemporaryDir m_root;
    QString audio;
    QString playlists;
    QString lists;
};

const QStringList awkwardNames{"Кино/Группа крови.mp3", "With space & amp.mp3", "#hash, 100%.mp3",
                               "Ёлки/Новый год.MP3"};

TEST_F(PlaylistExchangeTest, M3uRoundTripKeepsEntriesWithTagsAndFallbacks)
{
    const QStringList paths = library(awkwardNames);
    QList<Track> tracks;
    tracks << Track{paths[0], "Группа крови", "Кино", 286};
    tracks << Track{paths[1], {}, {}, -1} << Track{paths[2], "Line\nbreak", {}, 61};
    tracks << Track{paths[3], {}, {}, -1} << tracks[0]; // twice is kept
    const QString list = lists + QStringLiteral("/Мой список.m3u8");
    ASSERT_TRUE(PlaylistExchange::write(list, tracks));

    const QByteArray text = readFile(list);
    EXPECT_TRUE(text.startsWith("#EXTM3U\n"));
    EXPECT_TRUE(text.contains("#EXTINF:286,Кино - Группа крови\n../../Audio/Кино/Группа крови.mp3\n"));
    // Without tags: -1 and the file name without extension, as M3U players expect.
    EXPECT_TRUE(text.contains("#EXTINF:-1,With space & amp\n../../Audio/With space & amp.mp3\n"));
    // A title's line break would start an entry of its own.
    EXPECT_TRUE(text.contains("#EXTINF:61,Line break\n"));
    EXPECT_TRUE(text.contains("#EXTINF:-1,Новый год\n"));

    const Imported imported = import(list);
    EXPECT_EQ(outcome(imported), "done: 5 found, 0 missing") << imported.error.toStdString();
    EXPECT_EQ(imported.name, "Мой список");
    EXPECT_EQ(saved(imported), QStringList(awkwardNames) << awkwardNames[0]);
}

TEST_F(PlaylistExchangeTest, XspfRoundTripEscapesLocationsAndKeepsEntries)
{
    const QStringList paths = library(awkwardNames);
    QList<Track> tracks;
    for (const QString &path : paths)
        tracks << Track{path, "T <&> \"x\"", "Кино", 200};
    tracks[1].seconds = -1;
    const QString list = lists + QStringLiteral("/round trip.xspf");
    ASSERT_TRUE(PlaylistExchange::write(list, tracks));

    const QByteArray text = readFile(list);
    EXPECT_TRUE(text.contains("<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"));
    EXPECT_TRUE(text.contains(
        "<location>../../Audio/%D0%9A%D0%B8%D0%BD%D0%BE/%D0%93%D1%80%D1%83%D0%BF%D0%BF%D0%B0%20"));
    EXPECT_TRUE(text.contains("<location>../../Audio/%23hash%2C%20100%25.mp3</location>"));
    EXPECT_TRUE(text.contains("<creator>Кино</creator>"));
    EXPECT_TRUE(text.contains("<duration>200000</duration>"));
    EXPECT_EQ(text.count("<duration>"), 3);
    EXPECT_TRUE(text.contains("<title>T &lt;&amp;&gt; "));

    const Imported imported = import(list);
    EXPECT_EQ(outcome(imported), "done: 4 found, 0 missing") << imported.error.toStdString();
    EXPECT_EQ(saved(imported), awkwardNames);
}

TEST_F(PlaylistExchangeTest, HalfMissingKeepsOnlyTheFilesOfTheLibraryAndCountsTheRest)
{
    library({"a.mp3", "Folder/b.mp3", "c.mp3"});
    writeFile(audio + QStringLiteral("/notes.txt"), "text");
    const QString list = lists + QStringLiteral("/half.m3u");
    writeFile(list, "#EXTM3U\r\n"
                    "#EXTINF:10,X - a\r\n"
                    "../../Audio/a.mp3\r\n"
                    "../../Audio/gone.mp3\r\n" // not there
                    "  " +
                        audio.toUtf8() +
                        "/Folder/b.mp3  \r\n"               // absolute, inside
                        "http://example.com/stream.mp3\r\n" // not a file
                        "../../Audio/notes.txt\r\n"         // no music
                        "../../Audio/Folder\r\n"            // a folder
                        "file://" +
                        QUrl::toPercentEncoding(audio + "/c.mp3", "/") + "\r\n");
    const Imported imported = import(list);
    EXPECT_EQ(outcome(imported), "done: 3 found, 4 missing");
    EXPECT_EQ(saved(imported), (QStringList{"a.mp3", "Folder/b.mp3", "c.mp3"}));

    // The same name again gets a number; a list with nothing found writes nothing.
    EXPECT_EQ(import(list).name, "half (2)");
    EXPECT_EQ(import(list).name, "half (3)");
    writeFile(lists + QStringLiteral("/none.m3u"), "gone.mp3\nalso-gone.mp3\n");
    const Imported none = import(lists + QStringLiteral("/none.m3u"));
    EXPECT_EQ(outcome(none), "done: 0 found, 2 missing");
    EXPECT_TRUE(none.savedPath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(playlists + QStringLiteral("/none.tuneplaylist")));
}

TEST_F(PlaylistExchangeTest, PlsInNumberOrderWithUrisAndWindowsSeparators)
{
    library({"Кино/Звезда по имени Солнце.mp3", "b c.mp3", "Sub/d.mp3"});
    const QString list = audio + QStringLiteral("/radio.pls");
    writeFile(list,
              "[playlist]\n"
              "NumberOfEntries=5\n"
              "File3=Sub\\d.mp3\n"
              "Title3=ignored\n"
              "file1=file://localhost" +
                  QUrl::toPercentEncoding(audio + QStringLiteral("/Кино/Звезда по имени Солнце.mp3"), "/") +
                  "\n"
                  "File2=b c.mp3\n"
                  "File4=file://otherhost/b%20c.mp3\n"
                  "FileX=b c.mp3\n"
                  "Length2=-1\n"
                  "Version=2\n");
    const Imported imported = import(list);
    EXPECT_EQ(outcome(imported), "done: 3 found, 1 missing");
    EXPECT_EQ(saved(imported), (QStringList{"Кино/Звезда по имени Солнце.mp3", "b c.mp3", "Sub/d.mp3"}));
}

TEST_F(PlaylistExchangeTest, ReadsPercentEscapesInUrisButNotInPlainPaths)
{
    library({"100% Хит.mp3", "a b.mp3"});
    const auto local = [](const char *entry, bool uri) {
        return PlaylistExchange::localPath(QString::fromUtf8(entry), "/l", uri);
    };
    EXPECT_EQ(local("file:///x/100%25%20%D0%A5%D0%B8%D1%82.mp3", false), "/x/100% Хит.mp3");
    EXPECT_EQ(local("a%20b.mp3", false), "/l/a%20b.mp3");
    EXPECT_EQ(local("a%20b.mp3", true), "/l/a b.mp3");
    EXPECT_EQ(local("https://host/a.mp3", true), "");
    EXPECT_EQ(local("C:\\Music\\a.mp3", false), "/l/C:\\Music\\a.mp3");
    // A name starting with ":" once stayed as it was, which Qt reads as one of its resources.
    EXPECT_EQ(local(":/x.mp3", false), "/l/:/x.mp3");
    EXPECT_EQ(local(":x.mp3", true), "");

    const QString list = lists + QStringLiteral("/escapes.xspf");
    writeFile(list,
              "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
              "<track><location>../../Audio/100%25%20%D0%A5%D0%B8%D1%82.mp3</location>"
              "<location>../../Audio/a%20b.mp3</location></track>"
              "<track><title>no location</title></track>"
              "<track><location>file://" +
                  QUrl::toPercentEncoding(audio + "/a b.mp3", "/") +
                  "</location></track>"
                  "<track><location>  ../../Audio/a b.mp3 </location></track>"
                  "</trackList></playlist>");
    const Imported imported = import(list);
    EXPECT_EQ(outcome(imported), "done: 3 found, 0 missing");
    EXPECT_EQ(saved(imported), (QStringList{"100% Хит.mp3", "a b.mp3", "a b.mp3"}));
}

TEST_F(PlaylistExchangeTest, HostileListsImportNothingOutsideTheLibrary)
{
    library({"in.mp3"});
    // Music that exists, but outside the library; and a link inside the library that leads out.
    writeFile(m_root.path() + QStringLiteral("/outside/secret.mp3"), "ID3");
    writeFile(m_root.path() + QStringLiteral("/Audio-evil/x.mp3"), "ID3"); // shares the library's prefix
    ASSERT_TRUE(QFile::link(m_root.path() + QStringLiteral("/outside"), audio + QStringLiteral("/link")));
    ASSERT_TRUE(QFile::link(m_root.path() + QStringLiteral("/outside/secret.mp3"),
                            audio + QStringLiteral("/alias.mp3")));
    const QByteArray outside = (m_root.path() + QStringLiteral("/outside/secret.mp3")).toUtf8();
    const QString list = lists + QStringLiteral("/evil.m3u");
    writeFile(list, "#EXTM3U\n" + outside +
                        "\n"                                  // absolute, outside
                        "../../outside/secret.mp3\n"          // relative, outside
                        "../../Audio/../outside/secret.mp3\n" // in and out again
                        "../../Audio/link/secret.mp3\n"       // a link in the library
                        "../../Audio/alias.mp3\n"             // a file link leading out
                        "../../Audio-evil/x.mp3\n"            // prefix, not inside
                        "file://" +
                        outside +
                        "\n" // URI, outside
                        "file:///../../../../" +
                        outside +
                        "\n"            // URI escaping upward
                        "/etc/passwd\n" // not music, outside
                        + QByteArrayLiteral("../../Audio/in.mp3\x00/../../outside/secret.mp3\n") // a NUL
                        + "../../Audio/in.mp3\n");
    const Imported imported = import(list);
    EXPECT_EQ(outcome(imported), "done: 1 found, 10 missing");
    EXPECT_EQ(saved(imported), QStringList{"in.mp3"});

    // Binary junk never crashes and finds nothing; a list over the limit is not read at all.
    QByteArray junk(1 << 20, '\0');
    QRandomGenerator random(7);
    for (char &c : junk)
        c = char(random.bounded(256));
    for (const char *name : {"/junk.m3u", "/junk.pls", "/junk.xspf"}) {
        writeFile(lists + name, junk);
        EXPECT_EQ(outcome(import(lists + name)).substr(0, 13), "done: 0 found") << name;
    }
    writeFile(lists + QStringLiteral("/huge.m3u"),
              QByteArray("../../Audio/in.mp3\n").repeated(PlaylistExchange::maxListSize / 19 + 1));
    const Imported huge = import(lists + QStringLiteral("/huge.m3u"));
    EXPECT_EQ(outcome(huge), "unreadable: 0 found, 0 missing");
    EXPECT_FALSE(QFileInfo::exists(playlists + QStringLiteral("/huge.tuneplaylist")));

    // An XSPF with an entity bomb and a cut-off end keeps what it read before the damage.
    writeFile(lists + QStringLiteral("/bomb.xspf"),
              "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY a \"aaaaaaaaaaaaaaaa\">"
              "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
              "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
              "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
              "<playlist><trackList><track><location>../../Audio/in.mp3</location></track>"
              "<track><location>&d;&d;&d;&d;&d;&d;&d;&d;</location></track><track><locat");
    const Imported bomb = import(lists + QStringLiteral("/bomb.xspf"));
    EXPECT_EQ(bomb.outcome, Imported::Done);
    EXPECT_EQ(saved(bomb), QStringList{"in.mp3"});
}

// Inputs the fuzzer found: every entry maps to an absolute path in the list's folder tree or to nothing.
TEST(PlaylistExchangeFuzz, EntriesAreAbsolutePathsOrNothing)
{
    const QDir folder(QStringLiteral(MELODROP_TEST_DATA "/fuzz/playlist_lists"));
    const QStringList inputs = folder.entryList(QDir::Files);
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString &name : inputs) {
        const QByteArray data = readFile(folder.filePath(name));
        for (const Format format : {Format::M3u, Format::Pls, Format::Xspf}) {
            for (const QString &entry : PlaylistExchange::parse(data, format)) {
                const QString path = PlaylistExchange::localPath(entry, "/lists", format == Format::Xspf);
                EXPECT_TRUE(path.isEmpty() || path.startsWith(QLatin1Char('/'))) << name.toStdString();
            }
        }
    }
}

TEST_F(PlaylistExchangeTest, ReadsWindows1251M3uAndRefusesOtherFormats)
{
    library({"Кино.mp3"});
    writeFile(lists + QStringLiteral("/old.m3u"), "../../Audio/\xCA\xE8\xED\xEE.mp3\n"); // "Кино" in 1251
    const Imported old = import(lists + QStringLiteral("/old.m3u"));
    EXPECT_EQ(old.found, 1);
    EXPECT_EQ(saved(old), QStringList{"Кино.mp3"});

    writeFile(lists + QStringLiteral("/list.txt"), "../../Audio/Кино.mp3\n");
    EXPECT_EQ(import(lists + QStringLiteral("/list.txt")).outcome, Imported::Unreadable);
    EXPECT_EQ(import(lists + QStringLiteral("/absent.m3u")).outcome, Imported::Unreadable);
    EXPECT_EQ(PlaylistExchange::formatOf("/a/B.M3U8"), Format::M3u);
    EXPECT_EQ(PlaylistExchange::formatOf("/a/.pls"), Format::Unknown);
}

} // namespace
