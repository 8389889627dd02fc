// What a libmpv instance of the program brings with it.
#include "playback/MpvHandle.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The threads of this process whose name starts with `prefix`.
int threadsNamed(const QByteArray &prefix)
{
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith(prefix))
            ++count;
    }
    return count;
}

// libmpv runs each Lua script (its statistics page, its console, its profile switcher) on a thread of its own
// with its own interpreter. The program shows none of mpv's on-screen tools, so no instance may start one:
// they stayed in memory for the whole run, two per instance.
TEST(MpvHandle, NoPurposeStartsMpvsOwnScripts)
{
    ASSERT_EQ(threadsNamed("mpv/lua"), 0);
    std::vector<std::unique_ptr<MpvHandle>> handles;
    for (auto purpose : {MpvHandle::Purpose::Music, MpvHandle::Purpose::Preview, MpvHandle::Purpose::Video,
                         MpvHandle::Purpose::VideoWithPicture, MpvHandle::Purpose::DeviceWatch}) {
        handles.push_back(std::make_unique<MpvHandle>(purpose));
        ASSERT_TRUE(handles.back()->isValid());
    }
    // The instances themselves run: their core threads are there.
    EXPECT_GE(threadsNamed("mpv/"), int(handles.size()));
    EXPECT_EQ(threadsNamed("mpv/lua"), 0);
}

} // namespace
