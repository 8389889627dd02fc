#include "core/PropertyList.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <plist/plist.h>

namespace {

TEST(PropertyList, RequestFilesRoundTripAsXmlArrays)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("AudioSearchRequest.tune");
    EXPECT_FALSE(PropertyList::readRequest(path).has_value());
    ASSERT_TRUE(PropertyList::writeRequest(path, QStringLiteral("  Кино & <Ария> ")));
    EXPECT_EQ(PropertyList::readRequest(path).value_or(QString()), QStringLiteral("  Кино & <Ария> "));
    ASSERT_TRUE(PropertyList::writeRequest(path, QString()));
    EXPECT_EQ(PropertyList::readRequest(path).value_or(QStringLiteral("x")), QString());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    EXPECT_TRUE(xml.startsWith("<?xml"));
    EXPECT_TRUE(xml.contains("<array>"));
}

TEST(PropertyList, NestedArraysAndBinaryFilesAreRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.tuneplaylist");
    const QVariantList entries{QVariantList{"a.mp3", "1"}, QVariantList{"sub/b.mp3", "0"}};
    ASSERT_TRUE(PropertyList::write(path, entries));
    EXPECT_EQ(PropertyList::read(path).value_or(QVariant()).toList(), entries);

    // A binary property list written by another program reads the same.
    plist_t array = plist_new_array();
    plist_array_append_item(array, plist_new_string("двоичный"));
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(array, &bin, &length);
    plist_free(array);
    const QString binaryPath = dir.filePath("binary.tune");
    QFile out(binaryPath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bin, length);
    out.close();
    plist_to_bin_free(bin);
    EXPECT_EQ(PropertyList::readRequest(binaryPath).value_or(QString()), QStringLiteral("двоичный"));
}

TEST(PropertyList, GarbageAndWrongShapesGiveNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.tune");
    for (const QByteArray &content :
         {QByteArray("not a plist at all"), QByteArray("<?xml version=\"1.0\"?><plist><array>"),
          QByteArray("bplist00\x01\x02"), QByteArray()}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        EXPECT_FALSE(PropertyList::readRequest(path).has_value()) << content.constData();
    }
    ASSERT_TRUE(PropertyList::write(path, QVariantList{QVariantList{"nested"}}));
    EXPECT_FALSE(PropertyList::readRequest(path).has_value()); // element 0 is no text
    ASSERT_TRUE(PropertyList::write(path, QVariantList{}));
    EXPECT_FALSE(PropertyList::readRequest(path).has_value());
}

} // namespace

namespace {

// Inputs the fuzzer found to crash the reader; each must read (or be refused) without ending the program.
TEST(PropertyList, FuzzerFindingsAreReadWithoutCrashing)
{
    const QString folder = QStringLiteral(MELODROP_TEST_DATA "/fuzz/property_list");
    // A string holding a NUL byte made libplist's copying getter abort.
    QFile file(folder + QStringLiteral("/string-with-nul.plist"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<QVariant> value = PropertyList::fromData(file.readAll());
    ASSERT_TRUE(value.has_value());
    ASSERT_EQ(value->toList().size(), 1);
    EXPECT_TRUE(value->toList().first().toString().contains(QChar(0)));

    // A dictionary key holding a NUL in a binary document made libplist abort while the key was read.
    QFile binary(folder + QStringLiteral("/binary-key-with-nul.bplist"));
    ASSERT_TRUE(binary.open(QIODevice::ReadOnly));
    const std::optional<QVariant> nested = PropertyList::fromData(binary.readAll());
    ASSERT_TRUE(nested.has_value());
    EXPECT_EQ(nested->toList().size(), 2);
}

} // namespace
