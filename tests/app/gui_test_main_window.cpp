// The whole window as the program loads it: every view compiles, and the tabs lead where they should.
#include "../support/MainWindowTest.h"

#include "app/Lifecycle.h"
#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using TestSupport::waitFor;

class MainWindow : public MainWindowTest
{
protected:
    // The visible item below `item` whose text is `text` (a button, a label of a row).
    static QQuickItem *findText(QQuickItem *item, const QString &text)
    {
        return findItem(
            item, [&](QQuickItem *candidate) { return candidate->property("text").toString() == text; });
    }
    // Clicks the navigation bar's back button of the stack's top page.
    void goBack(QQuickItem *stack)
    {
        ASSERT_TRUE(waitFor([&] { return !stack->property("busy").toBool(); }, 5000));
        click(findItem(stack->property("currentItem").value<QQuickItem *>(), QStringLiteral("backButton")));
    }
    // Clicks a row of the menu at the top of `stack`, scrolling it into view first as a user would.
    bool clickMenuRow(QQuickItem *stack, int row)
    {
        if (!waitFor([&] { return !stack->property("busy").toBool(); }, 5000))
            return false;
        QQuickItem *list =
            findItem(stack->property("currentItem").value<QQuickItem *>(), QStringLiteral("menuList"));
        if (!list)
            return false;
        QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, row), Q_ARG(int, 0));
        QQuickItem *item = findItem(list, QStringLiteral("menuRow%1").arg(row));
        click(item);
        return item != nullptr;
    }
};

TEST_F(MainWindow, LoadsWithoutQmlErrorsAndOpensTheMenusScreens)
{
    // The narrow layout: the sections are the tab bar's (the wide one has a sidebar instead).
    window->resize(420, 740);
    settle();

    auto *tabBar = window->findChild<QQuickItem *>(QStringLiteral("tabBar"));
    ASSERT_NE(tabBar, nullptr);
    EXPECT_EQ(tabBar->property("count").toInt(), 5);

    // The sections other than the one shown at start are built when first shown, then kept.
    EXPECT_EQ(window->findChild<QQuickItem *>(QStringLiteral("audioStack")), nullptr);
    EXPECT_EQ(window->findChild<QQuickItem *>(QStringLiteral("videoStack")), nullptr);
    EXPECT_EQ(window->findChild<QQuickItem *>(QStringLiteral("queueTable")), nullptr);
    EXPECT_NE(window->findChild<QObject *>(QStringLiteral("loginForm")), nullptr);

    // Every row of both menus opens its screen.
    click(findItem(tabBar, QStringLiteral("tab1")));
    auto *stack = window->findChild<QQuickItem *>(QStringLiteral("audioStack"));
    auto *menu = window->findChild<QObject *>(QStringLiteral("audioMenu"));
    ASSERT_NE(stack, nullptr);
    ASSERT_NE(menu, nullptr);
    for (int row = 0; row < 9; ++row) {
        ASSERT_TRUE(clickMenuRow(stack, row)) << row;
        ASSERT_TRUE(waitFor([&] { return stack->property("depth").toInt() == 2; }, 5000)) << row;
        goBack(stack);
        ASSERT_TRUE(waitFor([&] { return stack->property("depth").toInt() == 1; }, 5000)) << row;
    }
    click(findItem(tabBar, QStringLiteral("tab2")));
    auto *videoStack = window->findChild<QQuickItem *>(QStringLiteral("videoStack"));
    auto *videoMenu = window->findChild<QObject *>(QStringLiteral("videoMenu"));
    ASSERT_NE(videoStack, nullptr);
    ASSERT_NE(videoMenu, nullptr);
    EXPECT_EQ(window->findChild<QQuickItem *>(QStringLiteral("queueTable")), nullptr);
    for (int row = 0; row < 7; ++row) {
        ASSERT_TRUE(clickMenuRow(videoStack, row)) << row;
        ASSERT_TRUE(waitFor([&] { return videoStack->property("depth").toInt() == 2; }, 5000)) << row;
        goBack(videoStack);
        ASSERT_TRUE(waitFor([&] { return videoStack->property("depth").toInt() == 1; }, 5000));
    }
    click(findItem(tabBar, QStringLiteral("tab1")));
    EXPECT_EQ(window->findChild<QQuickItem *>(QStringLiteral("audioStack")), stack) << "kept, not built anew";
    EXPECT_TRUE(stack->isVisible());
    // Files handed over together: one notice each, the next once "Готово" is pressed.
    for (const char *name : {"one.mp3", "two.mp3"}) {
        QFile file(root.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    lifecycle->openArguments({root.filePath("one.mp3"), root.filePath("two.mp3")}, root.path());
    auto *notice = window->findChild<QObject *>(QStringLiteral("importNotice"));
    ASSERT_NE(notice, nullptr);
    auto pressDone = [&] {
        QQuickItem *button = nullptr;
        ASSERT_TRUE(waitFor(
            [&] {
                button = findItem(window->contentItem(), QStringLiteral("alertButton0"));
                return notice->property("opened").toBool() && button;
            },
            5000));
        click(button);
    };
    ASSERT_TRUE(waitFor([&] { return notice->property("opened").toBool(); }, 5000));
    EXPECT_TRUE(notice->property("message").toString().contains(QLatin1String("one.mp3")));
    pressDone();
    ASSERT_TRUE(waitFor(
        [&] {
            return notice->property("opened").toBool() &&
                   notice->property("message").toString().contains(QLatin1String("two.mp3"));
        },
        5000));
    pressDone();
    EXPECT_TRUE(waitFor([&] { return !notice->property("visible").toBool(); }, 5000));

    // The library and export rows open a new screen each time, at the top of the media folder.
    ASSERT_TRUE(QDir().mkpath(StorageLayout::getAudioDir() + QStringLiteral("/Rock")));
    QFile(StorageLayout::getAudioDir() + QStringLiteral("/Rock/inner.mp3")).open(QIODevice::WriteOnly);
    QQuickItem *audioTab = findText(tabBar, QStringLiteral("Аудио"));
    ASSERT_NE(audioTab, nullptr);
    click(audioTab);
    auto page = [&] { return stack->property("currentItem").value<QQuickItem *>(); };
    for (const QString &row : {QStringLiteral("Медиатека"), QStringLiteral("Экспорт")}) {
        SCOPED_TRACE(row.toStdString());
        QPointer<QObject> first;
        for (int opening = 0; opening < 2; ++opening) {
            QQuickItem *menuRow = nullptr;
            ASSERT_TRUE(waitFor([&] { return (menuRow = findText(page(), row)) != nullptr; }, 5000));
            click(menuRow);
            ASSERT_TRUE(waitFor([&] { return settledAt(stack, 2); }, 5000));
            QObject *screen = page()->property("controller").value<QObject *>();
            ASSERT_NE(screen, nullptr);
            EXPECT_EQ(screen->property("dirLevel").toInt(), 0) << "opening " << opening + 1;
            if (opening == 0) {
                first = screen;
                QQuickItem *folder = nullptr;
                ASSERT_TRUE(waitFor(
                    [&] { return (folder = findText(page(), QStringLiteral("Rock"))) != nullptr; }, 5000));
                click(folder);
                ASSERT_TRUE(waitFor([&] { return screen->property("dirLevel").toInt() == 1; }, 5000));
            } else {
                EXPECT_NE(screen, first.data()) << "the screen of the last opening came back";
            }
            // "‹ Назад" walks up the folders, then leaves the screen.
            for (int press = 0; press < 3 && stack->property("depth").toInt() == 2; ++press) {
                QQuickItem *back = findItem(page(), QStringLiteral("backButton"));
                ASSERT_NE(back, nullptr);
                click(back);
                waitFor([&] { return !stack->property("busy").toBool(); }, 5000);
            }
            ASSERT_TRUE(waitFor([&] { return settledAt(stack, 1); }, 5000));
        }
        // The screen of an opening goes with it.
        EXPECT_TRUE(waitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return first.isNull();
            },
            5000));
    }

    // Selecting the tab again is an appearance too: the personal screen's placeholder follows a sign-in
    // made meanwhile, and the library lists what arrived meanwhile.
    QQuickItem *loginTab = findText(tabBar, QStringLiteral("Вход"));
    ASSERT_NE(loginTab, nullptr);
    auto openRow = [&](const QString &row) {
        QQuickItem *menuRow = nullptr;
        ASSERT_TRUE(waitFor([&] { return (menuRow = findText(page(), row)) != nullptr; }, 5000));
        click(menuRow);
        ASSERT_TRUE(waitFor([&] { return settledAt(stack, 2); }, 5000));
    };
    openRow(QStringLiteral("Частные"));
    QObject *personal = page()->property("controller").value<QObject *>();
    ASSERT_NE(personal, nullptr);
    EXPECT_EQ(personal->property("placeholder").toString().toStdString(),
              "ID пользователя (ваш - неизвестен)");
    click(loginTab);
    GlobalData::sharedGlobalData()->setVksid(QStringLiteral("sid"));
    GlobalData::sharedGlobalData()->setVkuid(QStringLiteral("1000001"));
    click(audioTab);
    EXPECT_EQ(personal->property("placeholder").toString().toStdString(), "ID пользователя (ваш - 1000001)");
    GlobalData::sharedGlobalData()->setVksid(QString());
    GlobalData::sharedGlobalData()->setVkuid(QString());
    click(findItem(page(), QStringLiteral("backButton")));
    ASSERT_TRUE(waitFor([&] { return settledAt(stack, 1); }, 5000));

    openRow(QStringLiteral("Медиатека"));
    click(loginTab);
    QFile(StorageLayout::getAudioDir() + QStringLiteral("/arrived.mp3")).open(QIODevice::WriteOnly);
    click(audioTab);
    EXPECT_TRUE(waitFor([&] { return findText(page(), QStringLiteral("arrived.mp3")) != nullptr; }, 3000))
        << "the library was not listed again";

    settle(); // let late bindings report
}

// A window that asks before it closes (as the main window does while downloads run) and nobody answers.
class RefusingWindow : public QWindow
{
protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

TEST(TerminationTest, SignalsEndTheEventLoopEvenWhereAWindowWouldAskFirst)
{
    QTemporaryDir root;
    StorageLayout::setRootDir(root.path());
    Settings settings(root.filePath(QStringLiteral("settings.conf")));
    RefusingWindow window;
    window.show();
    {
        Lifecycle lifecycle(&settings);
        lifecycle.watchTerminationSignals();
        // One signal per process: the exit it asks for stays asked (SIGINT goes the same way, see
        // test_lifecycle).
        QEventLoop loop;
        bool timedOut = false;
        QTimer::singleShot(3000, &loop, [&] {
            timedOut = true;
            loop.exit(1);
        });
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        EXPECT_EQ(loop.exec(), 0);
        EXPECT_FALSE(timedOut);
    }
    EXPECT_TRUE(window.isVisible());
}

} // namespace
