// The settings page's documents folder: asked about, moved under the overlay, and only then the program's
// root; refused targets and failed moves leave everything where it was.
#include "../support/TestSupport.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "screens/SettingsPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

class SettingsPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        oldRoot = temp.filePath("Documents/Melodrop");
        newRoot = temp.filePath("Music/Melodrop");
        StorageLayout::setRootDir(oldRoot);
        Settings::setSharedPath(temp.filePath("settings.conf"));
        ASSERT_TRUE(writeFile(StorageLayout::getAudioDir() + "/song.mp3", "mp3"));
        SettingsPage::setRootClaim([this](const QString &root) {
            claims << root;
            return !refuseClaim;
        });
    }
    void TearDown() override
    {
        SettingsPage::setRootClaim({});
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }
    QTemporaryDir temp;
    QString oldRoot;
    QString newRoot;
    QStringList claims;
    bool refuseClaim = false;
};

TEST_F(SettingsPageTest, ANewFolderIsAskedAboutThenTheFilesMoveAndItBecomesTheRoot)
{
    SettingsPage page;
    QSignalSpy alerts(&page, &SettingsPage::alertRequested);
    QSignalSpy moved(&page, &SettingsPage::documentsMoved);
    page.chooseDocumentsFolder(QUrl::fromLocalFile(newRoot).toString());
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(3).toInt(), SettingsPage::MoveQuestion);
    EXPECT_EQ(alerts.at(0).at(2).toStringList().size(), 2);
    // "Отмена" changes nothing.
    page.alertAnswered(SettingsPage::MoveQuestion, 0);
    EXPECT_EQ(page.hud(), nullptr);
    EXPECT_EQ(StorageLayout::getRootDir(), oldRoot);

    page.chooseDocumentsFolder(newRoot);
    page.alertAnswered(SettingsPage::MoveQuestion, 1);
    EXPECT_NE(page.hud(), nullptr);
    ASSERT_TRUE(waitFor([&] { return moved.count() == 1; }, 10000));
    EXPECT_EQ(StorageLayout::getRootDir(), newRoot);
    EXPECT_EQ(page.documentsFolder(), QDir::toNativeSeparators(newRoot));
    EXPECT_EQ(Settings::shared().stringValue("library/documents_folder"), newRoot);
    EXPECT_TRUE(QFileInfo::exists(newRoot + "/audio/song.mp3"));
    EXPECT_FALSE(QFileInfo::exists(oldRoot + "/audio/song.mp3"));
    EXPECT_EQ(claims, QStringList{newRoot});
    EXPECT_TRUE(waitFor([&] { return page.hud() == nullptr; }, 5000));
}

TEST_F(SettingsPageTest, RefusedTargetsAndFailedMovesLeaveTheRootAndTheFiles)
{
    SettingsPage page;
    QSignalSpy alerts(&page, &SettingsPage::alertRequested);
    // Inside the current folder: refused with the reason, nothing asked.
    page.chooseDocumentsFolder(oldRoot + "/audio");
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(3).toInt(), SettingsPage::MoveProblem);

    // Another program holds the new folder: nothing moves.
    refuseClaim = true;
    page.chooseDocumentsFolder(newRoot);
    page.alertAnswered(SettingsPage::MoveQuestion, 1);
    ASSERT_EQ(alerts.count(), 3);
    EXPECT_EQ(alerts.at(2).at(3).toInt(), SettingsPage::MoveProblem);
    EXPECT_EQ(page.hud(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(oldRoot + "/audio/song.mp3"));

    // The copy fails (the name is taken there): the program stays on the old folder and claims it back.
    refuseClaim = false;
    ASSERT_TRUE(writeFile(newRoot + "/audio/song.mp3", "someone else's"));
    page.chooseDocumentsFolder(newRoot);
    page.alertAnswered(SettingsPage::MoveQuestion, 1);
    ASSERT_TRUE(waitFor([&] { return alerts.count() == 5; }, 10000));
    EXPECT_EQ(alerts.at(4).at(3).toInt(), SettingsPage::MoveProblem);
    EXPECT_EQ(StorageLayout::getRootDir(), oldRoot);
    EXPECT_TRUE(Settings::shared().stringValue("library/documents_folder").isEmpty());
    EXPECT_TRUE(QFileInfo::exists(oldRoot + "/audio/song.mp3"));
    EXPECT_EQ(claims.last(), oldRoot);
}

} // namespace
