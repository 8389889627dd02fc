// A download never writes through a link: whatever stands at the temporary or the final name (a symbolic
// link, a second name of another file) is replaced by the download, and the file it points to stays as it
// was.
#include "../support/DownloadTest.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace TestSupport;

bool isLink(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool exists(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

void symlink(const QString &target, const QString &link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

class DownloadLinksTest : public DownloadTest
{
protected:
    void SetUp() override
    {
        DownloadTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(outside.isValid());
        url = bytesUrl(120000, QStringLiteral("song"));
        expected = Http::get(url, {}, 10).body;
        ASSERT_EQ(expected.size(), 120000);
        victim = outside.filePath(QStringLiteral("victim"));
        writeFile(victim, "the user's own file");
    }

    DownloadRequestPtr run(Outcome &outcome, const QString &name)
    {
        return DownloadTest::run(outcome, url, name);
    }
    // The download saved as a file of its own at `path`, the victim untouched, no temporary file left.
    void expectSavedApart(const DownloadRequestPtr &request, const Outcome &outcome, const QString &path)
    {
        ASSERT_TRUE(outcome.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(request->finalPath(), path);
        EXPECT_FALSE(isLink(path));
        EXPECT_EQ(readFile(path), expected);
        EXPECT_EQ(readFile(victim), "the user's own file");
        EXPECT_FALSE(exists(request->options().temporaryPath));
    }

    QTemporaryDir outside;
    QString url;
    QByteArray expected;
    QString victim;
};

TEST_F(DownloadLinksTest, ALinkOrASecondNameAtTheTemporaryOrTheFinalNameIsReplacedNeverWrittenThrough)
{
    const QString nowhere = outside.filePath(QStringLiteral("created-through-the-link"));
    const struct
    {
        const char *name;
        QString target;
        bool temporary; // at the temporary name, else at the final name when the download begins
        bool hard;
    } cases[] = {
        {"linked", victim, true, false},         // a symbolic link to a file of the user's
        {"dangling", nowhere, true, false},      // nothing is created where it points
        {"hard", victim, true, true},            // the user's file under a second name
        {"folder", outside.path(), true, false}, // a link to a folder
        // At the final name, replaced by the file as an older file would be.
        {"song", victim, false, false},
        {"gone", nowhere, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name) + ".bin";
        const QString at = c.temporary ? temporary(name) : dir.filePath(name);
        if (c.hard)
            ASSERT_EQ(::link(QFile::encodeName(c.target).constData(), QFile::encodeName(at).constData()), 0);
        else
            symlink(c.target, at);
        Outcome outcome;
        expectSavedApart(run(outcome, name), outcome, dir.filePath(name));
    }
    EXPECT_FALSE(exists(nowhere));
}

TEST_F(DownloadLinksTest, LinksThatAppearAtTheFinalNameAndItsNumberedVariantsAreNeverFollowed)
{
    // Links that appear at the final name and at "name (2)" while the download runs belong to someone else:
    // they stay, and the download takes the next free name.
    sandbox.storageFaults().throttleBytesPerSecond = 150000;
    Outcome late;
    const DownloadRequestPtr request = start(late, options(url, "late.bin"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return late.bytes > 0 || late.ended(); }));
    symlink(victim, dir.filePath("late.bin"));
    symlink(outside.filePath(QStringLiteral("elsewhere")), dir.filePath("late (2).bin"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return late.ended(); }, 20000));
    expectSavedApart(request, late, dir.filePath("late (3).bin"));
    EXPECT_TRUE(isLink(dir.filePath("late.bin")));
    EXPECT_TRUE(isLink(dir.filePath("late (2).bin")));
    EXPECT_FALSE(exists(outside.filePath(QStringLiteral("elsewhere"))));
}

} // namespace
