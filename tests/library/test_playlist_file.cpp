#include "../support/Files.h"

#include "library/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <plist/plist.h>

namespace {

using TestSupport::readFile;
using TestSupport::writeFile;

using PropertyList::Error;

QStringList texts(const QList<PlaylistEntry> &entries)
{
    QStringList out;
    for (const PlaylistEntry &entry : entries)
        out << entry.file + (entry.current ? QStringLiteral("|1") : QStringLiteral("|0"));
    return out;
}

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
    const QStringList expected{QStringLiteral("Рок/Кино - Звезда.mp3|1"), QStringLiteral("R&B.mp3|0"),
                               QStringLiteral("|0")};
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
    EXPECT_EQ(texts(PlaylistFile::read(binaryPath).value_or(QList<PlaylistEntry>{})), expected);

    // What we write reads back, marks as "0".
    ASSERT_EQ(PlaylistFile::write(xmlPath, fromXml.entries), PropertyList::WriteResult::Written);
    EXPECT_EQ(texts(PlaylistFile::read(xmlPath).value_or(QList<PlaylistEntry>{})),
              (QStringList{"Рок/Кино - Звезда.mp3|0", "R&B.mp3|0", "|0"}));
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
    ASSERT_EQ(PlaylistFile::write(path, {{QStringLiteral("a.mp3"), false},
                                         {QStringLiteral("b.mp3"), false},
                                         {QStringLiteral("c.mp3"), false}}),
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
    const QList<PlaylistEntry> old{{QStringLiteral("old.mp3"), false}};
    ASSERT_EQ(PlaylistFile::write(path, old), PropertyList::WriteResult::Written);
    const QList<PlaylistEntry> huge{{QString(qsizetype(PropertyList::maxFileSize), QLatin1Char('x')), false}};
    EXPECT_EQ(PlaylistFile::write(path, huge), PropertyList::WriteResult::TooLarge);
    EXPECT_EQ(texts(PlaylistFile::read(path).value_or(QList<PlaylistEntry>{})), QStringList{"old.mp3|0"});
}

} // namespace
