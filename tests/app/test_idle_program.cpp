// The program itself, started as a user starts it and left alone: what it has loaded once the window is up.
#include "../support/Mp3Fixture.h"
#include "../support/TestSupport.h"

#include "library/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

// The files mapped into process `pid` whose name contains `part`.
QStringList mappedFiles(qint64 pid, const QString &part)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {QStringLiteral("(/proc/%1/maps unreadable)").arg(pid)};
    QStringList files;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const QString file = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
        if (line.contains('/') && file.contains(part) && !files.contains(file))
            files << file;
    }
    return files;
}

// libmpv and the ~160 libraries it brings are loaded by the first thing that plays: a window that has only
// been opened (the launch steps run, the autosaved playlist read, the sound output watched) maps none of it.
TEST(IdleProgram, NothingIsPlayedSoLibmpvIsNotLoaded)
{
    const QString program =
        QFileInfo(qEnvironmentVariable("MELODROP_SANDBOX")).dir().filePath(QStringLiteral("melodrop"));
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // A playlist to restore, as after an earlier run: reading it back plays nothing either.
    const QString docs = home.filePath(QStringLiteral("docs"));
    ASSERT_TRUE(QDir().mkpath(docs + QStringLiteral("/Audio")));
    ASSERT_TRUE(Mp3Fixture::write(docs + QStringLiteral("/Audio/Singer - Song.mp3"), 5));
    ASSERT_EQ(PlaylistFile::write(docs + QStringLiteral("/AudioAutosavedPlaylist.tune"),
                                  {PlaylistEntry{QStringLiteral("Singer - Song.mp3"), false}}),
              PropertyList::WriteResult::Written);

    QProcess melodrop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MELODROP_STARTUP_PROBE"),
               QStringLiteral("1")); // says when the first frame is drawn
    env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.remove(QStringLiteral("MELODROP_ROOT"));
    melodrop.setProcessEnvironment(env);
    melodrop.setProcessChannelMode(QProcess::SeparateChannels);
    melodrop.start(program, {QStringLiteral("--sandbox"), QStringLiteral("--root"), docs});
    ASSERT_TRUE(melodrop.waitForStarted(10000));

    QByteArray log;
    const bool drawn = waitFor(
        [&] {
            log += melodrop.readAllStandardError();
            return log.contains("first frame after") || melodrop.state() == QProcess::NotRunning;
        },
        60000);
    ASSERT_TRUE(drawn && log.contains("first frame after")) << log.toStdString();
    // The work queued for after the first frame (the playlist read, the route watch) has had its turn; the
    // probe ends the program 3 s after the frame.
    waitFor([] { return false; }, 1000);
    ASSERT_EQ(melodrop.state(), QProcess::Running) << log.toStdString();
    EXPECT_EQ(
        mappedFiles(melodrop.processId(), QStringLiteral("libmpv")).join(QLatin1Char(' ')).toStdString(), "");
    EXPECT_FALSE(mappedFiles(melodrop.processId(), QStringLiteral("libQt6Quick")).isEmpty())
        << "the maps were read: the window's own libraries are there";

    melodrop.terminate();
    if (!melodrop.waitForFinished(10000))
        melodrop.kill();
    melodrop.waitForFinished(5000);
}

} // namespace
