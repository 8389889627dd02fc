// Screens opened and closed again and again keep nothing: the player screen over a long playlist, the library
// and a results screen, twenty times each, leave the resident memory where it was.
#include "../support/Files.h"
#include "../support/MainWindowTest.h"

#include <QQmlContext>
#include <QQmlExpression>

#include <malloc.h>
#include <unistd.h>

namespace {

// Resident bytes of this process (the second field of /proc/self/statm, in pages), after the heap gave back
// what is free: what is measured is memory kept, not memory the allocator holds for reuse.
qint64 residentBytes()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

// Opens `screen` on the audio tab's stack, lets it draw, and closes it again, until its view and controller
// are gone.
void openAndClose(QQuickWindow *window, QQuickItem *stack, const QString &screen)
{
    QMetaObject::invokeMethod(stack, "open", Q_ARG(QVariant, screen), Q_ARG(QVariant, QString()),
                              Q_ARG(QVariant, QString()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return MainWindowTest::settledAt(stack, 2); }, 5000))
        << screen.toStdString();
    window->grabWindow(); // the rows drawn, as a user would see them
    QQmlExpression(qmlContext(stack), stack, QStringLiteral("pop()")).evaluate();
    ASSERT_TRUE(TestSupport::waitFor([&] { return MainWindowTest::settledAt(stack, 1); }, 5000));
    // The popped view and its controller go by deferred deletion.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

using ReopenMemory = MainWindowTest;

TEST_F(ReopenMemory, OpeningAndClosingScreensTwentyTimesKeepsNoMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing of what we keep.
    GTEST_SKIP() << "resident memory is not ours to judge under AddressSanitizer";
#endif
    for (int i = 0; i < 200; ++i)
        TestSupport::writeFile(StorageLayout::getAudioDir() + QStringLiteral("/Rock/%1.mp3").arg(i), {});
    QList<PlaylistEntry> entries;
    for (int i = 0; i < 100000; ++i)
        entries.append({QStringLiteral("Rock/Исполнитель %1 - Песня %1.mp3").arg(i), false});
    Stores::playlist().assignEntries(entries);
    entries.clear();
    window->resize(420, 740);
    window->setProperty("section", 1); // the audio tab, whose stack the screens open on
    QQuickItem *audio = stack("audioStack");
    ASSERT_NE(audio, nullptr);
    const QStringList screens{QStringLiteral("Audio_Playlist"), QStringLiteral("Audio_Library"),
                              QStringLiteral("Audio_Search")};

    auto round = [&] {
        for (const QString &screen : screens)
            openAndClose(window, audio, screen);
        engine->collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    // Warm-up: caches that fill once (styles, fonts, compiled views, glyphs) are not what is looked for.
    qint64 before = 0;
    for (int i = 0; i < 23 && !HasFatalFailure(); ++i) {
        if (i == 3)
            before = residentBytes();
        round();
    }
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GT(before, 0);
    const qint64 after = residentBytes();
    EXPECT_LT(after - before, 2 * 1024 * 1024)
        << "kept " << (after - before) / 1024 << " KB over 20 openings of "
        << screens.join(", ").toStdString();
}

} // namespace
