#include "core/Pacing.h"
#include "screens/ProgressOverlay.h"

#include "../support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSemaphore>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using TestSupport::waitFor;

namespace {
// What an overlay did, as seen from the main thread, with times relative to `clock`.
struct HudLog
{
    explicit HudLog(ProgressOverlay &hud)
    {
        clock.start();
        QObject::connect(&hud, &ProgressOverlay::alphaChanged, &hud, [this, &hud] {
            if (hud.alpha() != lastAlpha) {
                lastAlpha = hud.alpha();
                alphas << lastAlpha;
                (lastAlpha == 1.0f ? shownAt : fadeStartedAt) = clock.elapsed();
                if (lastAlpha == 1.0f)
                    taskInProgressWhenShown = hud.taskInProgress();
            }
        });
        QObject::connect(&hud, &ProgressOverlay::hudWasHidden, &hud, [this, &hud](ProgressOverlay *sender) {
            ++hiddenCount;
            hiddenAt = clock.elapsed();
            whenHidden = QStringList({sender == &hud ? "its own" : "another overlay's",
                                      QThread::currentThread() == qApp->thread() ? "main thread" : "worker",
                                      hud.finished() ? "finished" : "unfinished",
                                      hud.taskInProgress() ? "task running" : "no task"})
                             .join(", ");
            events << QStringLiteral("hidden");
        });
        QObject::connect(&hud, &ProgressOverlay::removeFromViewRequested, &hud,
                         [this](ProgressOverlay *sender) {
                             removeSender = sender;
                             events << QStringLiteral("remove");
                         });
    }

    QElapsedTimer clock;
    float lastAlpha = 0.0f;
    QList<float> alphas;
    qint64 shownAt = -1;
    qint64 fadeStartedAt = -1;
    qint64 hiddenAt = -1;
    int hiddenCount = 0;
    ProgressOverlay *removeSender = nullptr;
    QString whenHidden; // the notice's sender, thread and the overlay's state
    bool taskInProgressWhenShown = false;
    QStringList events;
};

} // namespace

// The overlay's grace and minimum show times are what these tests measure: they run at a quarter of the real
// pace, and the operations' own durations are scaled with them so that the order of events stays the same.
class QuarterPace : public ::testing::Environment
{
public:
    void SetUp() override { Pacing::setScale(0.25); }
};
const auto *const quarterPace = ::testing::AddGlobalTestEnvironment(new QuarterPace);

// `seconds` of the real pace, in milliseconds at the pace the tests run.
int at(double seconds)
{
    return Pacing::milliseconds(seconds);
}

class ProgressOverlayTest : public ::testing::Test
{
protected:
    QObject view;
    ProgressOverlay hud{&view};
    HudLog log{hud};
};

TEST(ProgressOverlayCreation, MissingViewThrowsWithReason)
{
    try {
        ProgressOverlay hud(nullptr);
        FAIL() << "no exception for a missing view";
    } catch (const std::invalid_argument &e) {
        EXPECT_NE(dynamic_cast<const ProgressOverlayViewIsNilException *>(&e), nullptr);
        EXPECT_STREQ(e.what(), "The view used in the ProgressOverlay initializer is nil.");
    }
}

TEST_F(ProgressOverlayTest, ChangesNotifyAtOnceOnlyWhenTheValueChangesAndProgressStaysAFraction)
{
    int labelSignals = 0, appearanceSignals = 0;
    QObject::connect(&hud, &ProgressOverlay::labelTextChanged, [&] { ++labelSignals; });
    QObject::connect(&hud, &ProgressOverlay::appearanceChanged, [&] { ++appearanceSignals; });

    hud.setLabelText(QStringLiteral("Вход"));
    EXPECT_EQ(labelSignals, 1);
    hud.setLabelText(QStringLiteral("Вход"));
    EXPECT_EQ(labelSignals, 1) << "an unchanged value must not notify";

    hud.setOpacity(0.5f);
    hud.setMargin(10.0f);
    hud.setYOffset(-30.0f);
    hud.setDimBackground(true);
    EXPECT_EQ(appearanceSignals, 4);

    for (const auto &[given, kept] : {std::pair{0.25f, 0.25f}, {1.5f, 1.0f}, {-0.1f, 0.0f}}) {
        hud.setProgress(given);
        EXPECT_FLOAT_EQ(hud.progress(), kept) << given;
    }
}

// Without a grace time the overlay shows at once, with one it shows after it while the operation still runs.
// The fade starts after the minimum show time or the operation's end, whichever comes later; hudWasHidden
// follows the fade, once, on the main thread, with the operation's results in and its thread released.
TEST(ProgressOverlayTask, ShownForTheOperationOnItsOwnThreadAndHiddenAfterTheFade)
{
    const struct
    {
        float graceTime;
        float minShowTime;
        double runs;
        bool animated;
    } cases[] = {{0, 1.0f, 0.2, true}, {0, 0.1f, 0.5, true}, {0.2f, 0, 1.2, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.graceTime << " " << c.minShowTime << " " << c.runs);
        QObject view;
        ProgressOverlay hud(&view);
        hud.setGraceTime(c.graceTime);
        hud.setMinShowTime(c.minShowTime);
        HudLog log(hud);
        std::atomic<qint64> returnedAt{-1};
        int result = 0;
        int resultSeenWhenHidden = -1;
        QObject::connect(&hud, &ProgressOverlay::hudWasHidden, [&] { resultSeenWhenHidden = result; });
        QPointer<QThread> worker;
        std::atomic<bool> onOtherThread{false};
        hud.showWhileExecuting(
            [&] {
                worker = QThread::currentThread();
                onOtherThread = QThread::currentThread() != qApp->thread();
                QThread::msleep(at(c.runs));
                result = 42;
                returnedAt = log.clock.elapsed();
            },
            c.animated);
        EXPECT_TRUE(hud.taskInProgress());
        EXPECT_FLOAT_EQ(hud.alpha(), c.graceTime > 0 ? 0.0f : 1.0f);
        EXPECT_EQ(hud.animated(), c.animated);

        ASSERT_TRUE(waitFor([&] { return log.hiddenCount > 0; }, 10000));
        EXPECT_GE(returnedAt.load(), at(c.runs));
        EXPECT_GE(log.fadeStartedAt, std::max<qint64>(at(c.minShowTime), returnedAt.load()));
        EXPECT_GE(log.shownAt, at(c.graceTime));
        EXPECT_TRUE(log.taskInProgressWhenShown) << "shown only after the task had ended";
        EXPECT_GE(log.hiddenAt - log.fadeStartedAt, c.animated ? ProgressOverlay::fadeDuration : 0)
            << "hidden before the fade";
        EXPECT_EQ(log.alphas, (QList<float>{1.0f, 0.0f}));
        EXPECT_EQ(resultSeenWhenHidden, 42);
        EXPECT_EQ(log.whenHidden, "its own, main thread, finished, no task");
        EXPECT_EQ(hud.shownForMs(), -1);
        EXPECT_TRUE(onOtherThread.load());
        EXPECT_TRUE(waitFor([&] { return worker.isNull(); }, 5000)) << "the worker thread object leaked";
        // Exactly one hide notification, also after the timers had every chance to fire again.
        waitFor([] { return false; }, 400);
        EXPECT_EQ(log.hiddenCount, 1);

        // A second run gets a thread of its own and shows the overlay again.
        QThread *secondWorker = nullptr;
        hud.showWhileExecuting([&] { secondWorker = QThread::currentThread(); }, c.animated);
        EXPECT_FLOAT_EQ(hud.alpha(), c.graceTime > 0 ? 0.0f : 1.0f);
        EXPECT_TRUE(c.graceTime > 0 || !hud.finished()); // shown again: no longer finished
        ASSERT_TRUE(waitFor([&] { return log.hiddenCount > 1; }, 10000));
        EXPECT_NE(secondWorker, qApp->thread());
        EXPECT_NE(secondWorker, nullptr);
    }
}

// The operation is let go before the screen is told the overlay is hidden, and the screen may then delete it.
TEST(ProgressOverlayTask, OperationIsLetGoBeforeHiddenIsReportedAndTheReceiverMayDeleteTheOverlay)
{
    for (const bool animated : {false, true}) {
        SCOPED_TRACE(animated ? "animated" : "not animated");
        QObject view;
        auto *hud = new ProgressOverlay(&view);
        hud->setRemoveFromSuperViewOnHide(true);
        const QPointer<ProgressOverlay> watch(hud);
        // Stands for what the operation holds on to (its target and argument).
        auto held = std::make_shared<int>(7);
        std::weak_ptr<int> heldWatch = held;
        std::atomic<int> used{0};
        bool releasedWhenHidden = false;
        QObject::connect(hud, &ProgressOverlay::hudWasHidden, [&](ProgressOverlay *sender) {
            releasedWhenHidden = heldWatch.expired();
            delete sender;
        });
        hud->showWhileExecuting([&used, held = std::move(held)] { used = *held; }, animated);
        ASSERT_TRUE(waitFor([&] { return watch.isNull(); }, 10000));
        EXPECT_EQ(used.load(), 7);
        EXPECT_TRUE(releasedWhenHidden) << "the operation was still held when the screen was told";
    }
}

// The overlay, or its view, may go while the operation runs: the operation runs to its end, nobody is told
// the overlay has hidden, and its thread and the overlay are released; with the view gone, only once the
// operation has returned.
TEST(ProgressOverlayTask, TheOverlayOrItsViewMayGoWhileTheOperationRuns)
{
    for (const bool viewGoes : {false, true}) {
        SCOPED_TRACE(viewGoes ? "the view goes" : "the overlay goes");
        auto view = std::make_unique<QObject>();
        auto *hud = new ProgressOverlay(view.get());
        const QPointer<ProgressOverlay> watch(hud);
        QSemaphore started, release;
        std::atomic<bool> returned{false};
        QPointer<QThread> worker;
        int hidden = 0;
        QObject::connect(hud, &ProgressOverlay::hudWasHidden, [&] { ++hidden; });
        hud->showWhileExecuting(
            [&, hud] {
                worker = QThread::currentThread();
                started.release();
                release.acquire();
                // With only the view gone, the overlay the operation was given is still there to be told.
                if (viewGoes)
                    hud->setLabelText(QStringLiteral("Завершено"));
                returned = true;
            },
            !viewGoes);
        ASSERT_TRUE(started.tryAcquire(1, 5000));
        if (viewGoes) {
            view.reset();
            EXPECT_EQ(hud->view(), nullptr);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            ASSERT_FALSE(watch.isNull()) << "released while its operation still runs";
        } else {
            delete hud;
        }
        release.release();
        ASSERT_TRUE(waitFor([&] { return returned.load() && worker.isNull() && watch.isNull(); }, 5000));
        waitFor([] { return false; }, 200);
        EXPECT_EQ(hidden, 0);
    }

    // An idle overlay goes with its view.
    auto idleView = std::make_unique<QObject>();
    const QPointer<ProgressOverlay> idle(new ProgressOverlay(idleView.get()));
    idleView.reset();
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return idle.isNull();
        },
        5000));
}

// Changes the operation makes are queued, neither applied on its thread nor waited for: they arrive on the
// main thread, in order, once it turns its event loop.
TEST_F(ProgressOverlayTest, ChangesFromTheOperationAreQueuedToTheMainThreadInOrder)
{
    hud.setLabelText(QStringLiteral("before"));
    QStringList labels, details;
    bool allOnMainThread = true;
    QObject::connect(&hud, &ProgressOverlay::labelTextChanged, [&] {
        allOnMainThread &= QThread::currentThread() == qApp->thread();
        labels << hud.labelText();
    });
    QObject::connect(&hud, &ProgressOverlay::detailsLabelTextChanged, [&] {
        allOnMainThread &= QThread::currentThread() == qApp->thread();
        details << hud.detailsLabelText();
    });
    QStringList expectedLabels, expectedDetails;
    for (int i = 1; i <= 30; ++i) {
        expectedLabels << QStringLiteral("step %1").arg(i);
        expectedDetails << QStringLiteral("detail %1").arg(i);
    }
    QSemaphore changesMade;
    QString seenByOperation;
    hud.showWhileExecuting(
        [&] {
            for (int i = 0; i < expectedLabels.size(); ++i) {
                hud.setLabelText(expectedLabels[i]);
                hud.setDetailsLabelText(expectedDetails[i]);
                if (i % 10 == 0)
                    QThread::msleep(10);
            }
            hud.setProgress(0.75f);
            hud.setMode(ProgressOverlay::CustomView);
            seenByOperation = hud.labelText();
            changesMade.release();
        },
        false);

    // The main thread processes no events meanwhile: a setter that waited for it would never return.
    ASSERT_TRUE(changesMade.tryAcquire(1, 5000)) << "a setter blocked the operation";
    EXPECT_EQ(seenByOperation, QStringLiteral("before"));
    EXPECT_EQ(hud.labelText(), QStringLiteral("before"));
    EXPECT_EQ(hud.mode(), ProgressOverlay::Indeterminate);

    ASSERT_TRUE(waitFor([&] { return log.hiddenCount > 0; }, 10000));
    EXPECT_TRUE(allOnMainThread);
    EXPECT_EQ(labels, expectedLabels);
    EXPECT_EQ(details, expectedDetails);
    EXPECT_EQ(hud.mode(), ProgressOverlay::CustomView);
    EXPECT_FLOAT_EQ(hud.progress(), 0.75f);
}

// Within the grace time nothing shows: neither a task that ends in it, nor a plain show without a task.
TEST_F(ProgressOverlayTest, NothingShowsWithinTheGraceTime)
{
    hud.setGraceTime(0.5f);
    ProgressOverlay plain(&view);
    plain.setGraceTime(0.1f);
    HudLog plainLog(plain);
    plain.show(false);
    hud.showWhileExecuting([] { QThread::msleep(at(0.05)); }, true);
    EXPECT_FLOAT_EQ(hud.alpha(), 0.0f);

    ASSERT_TRUE(waitFor([&] { return log.hiddenCount > 0; }, 10000));
    EXPECT_LT(log.hiddenAt, at(0.5) + ProgressOverlay::fadeDuration)
        << "waited for a fade that never started";
    // Past the grace time: the timer must not bring the overlay up after all.
    waitFor([] { return false; }, at(0.7));
    EXPECT_TRUE(log.alphas.isEmpty()) << "the overlay flashed up";
    EXPECT_EQ(log.hiddenCount, 1);
    EXPECT_EQ(log.whenHidden, "its own, main thread, finished, no task");
    EXPECT_TRUE(plainLog.alphas.isEmpty()) << "appeared although no task was running";
    EXPECT_EQ(plainLog.hiddenCount, 0);
}

// A hide waits for the minimum show time; then one without animation does not wait for a fade, and an
// animated one starts the fade at once and reports the overlay hidden when it is over.
TEST(ProgressOverlayHiding, AnimatedOrNotAfterTheMinimumShowTime)
{
    // Whether the hide is animated, and the minimum show time.
    for (const auto &[animated, minShowTime] : {std::pair{false, 0.0f}, {true, 0.0f}, {false, 0.5f}}) {
        SCOPED_TRACE(testing::Message() << animated << " " << minShowTime);
        QObject view;
        ProgressOverlay hud(&view);
        hud.setMinShowTime(minShowTime);
        HudLog log(hud);
        hud.show(animated);
        EXPECT_FLOAT_EQ(hud.alpha(), 1.0f);
        EXPECT_EQ(hud.animated(), animated);
        EXPECT_GE(hud.shownForMs(), 0);
        const qint64 hideCalledAt = log.clock.elapsed();
        hud.hide(animated);
        const bool waits = animated || minShowTime > 0;
        EXPECT_FLOAT_EQ(hud.alpha(), minShowTime > 0 ? 1.0f : 0.0f);
        EXPECT_EQ(log.hiddenCount, waits ? 0 : 1);
        EXPECT_EQ(hud.finished(), !waits);
        ASSERT_TRUE(waitFor([&] { return log.hiddenCount > 0; }, 5000));
        EXPECT_GE(log.hiddenAt - hideCalledAt, animated ? ProgressOverlay::fadeDuration : 0);
        EXPECT_GE(log.hiddenAt, at(minShowTime));
    }
}

TEST_F(ProgressOverlayTest, RemovalIsRequestedOnlyWhenAskedFor)
{
    ProgressOverlay removed(&view);
    removed.setRemoveFromSuperViewOnHide(true);
    HudLog removedLog(removed);
    for (ProgressOverlay *overlay : {&hud, &removed}) {
        overlay->show(false);
        overlay->hide(false);
    }
    EXPECT_EQ(log.events, QStringList{QStringLiteral("hidden")});
    EXPECT_EQ(removedLog.events, (QStringList{QStringLiteral("hidden"), QStringLiteral("remove")}));
    EXPECT_EQ(removedLog.removeSender, &removed);
}
