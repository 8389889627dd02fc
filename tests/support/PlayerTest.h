#pragma once

// The fixture of the music player's tests: a documents folder and settings file of the case's own (the repeat
// and shuffle modes are remembered), and the shared player state as a fresh start has it, before and after.
#include "../support/Mp3Fixture.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class PlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        global = GlobalData::sharedGlobalData();
        Mp3Fixture::resetPlayerState();
        audio = StorageLayout::getAudioDir();
    }
    void TearDown() override
    {
        Mp3Fixture::resetPlayerState();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }

    LibraryPlayer *player() const { return qobject_cast<LibraryPlayer *>(global->audioPlayer); }
    QString playingFile() const { return Mp3Fixture::playingFile(); }
    bool loaded() const { return player() && player()->isLoaded(); }

    QTemporaryDir root;
    GlobalData *global = nullptr;
    QString audio;
    MusicPlayer &music = MusicPlayer::shared();
};
