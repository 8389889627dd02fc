// The whole window as the program loads it: every view compiles, and the tabs lead where they should.
#include "../support/Files.h"
#include "../support/MainWindowTest.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTimer>

#include <csignal>

namespace {

using TestSupport::waitFor;

class MainWindow : public MainWindowTest
{
protected:
    // The visible item below `item` whose text is `text` (a button, a label of a row).
    static QQuickItem *findText(QQuickItem *item, const QString &text)
    {
        return findItem(item, [&](QQuickItem *candidate) { return candidate->property("text") == text; });
    }
    // Clicks a row of the menu at the top of `menuStack`, scrolling it into view first as a user would.
    bool clickMenuRow(QQuickItem *menuStack, int row)
    {
        if (!waitFor([&] { return !menuStack->property("busy").toBool(); }, 5000))
            return false;
        QQuickItem *list =
            findItem(menuStack->property("currentItem").value<QQuickItem *>(), QStringLiteral("menuList"));
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

    // Every row of both menus opens its screen, and its back button leaves it.
    const std::tuple<const char *, const char *, int> menus[] = {{"tab1", "audioStack", 9},
                                                                 {"tab2", "videoStack", 7}};
    for (const auto &[tab, name, rows] : menus) {
        click(findItem(tabBar, QLatin1String(tab)));
        QQuickItem *menuStack = stack(name);
        ASSERT_NE(menuStack, nullptr) << name;
        for (int row = 0; row < rows; ++row) {
            SCOPED_TRACE(std::string(name) + " row " + std::to_string(row));
            ASSERT_TRUE(clickMenuRow(menuStack, row));
            ASSERT_TRUE(waitFor([&] { return settledAt(menuStack, 2); }, 5000));
            ASSERT_TRUE(back(menuStack));
        }
    }
    EXPECT_EQ(window->findChild<QQuickItem *>(QStringLiteral("queueTable")), nullptr);
    QQuickItem *audioStack = stack("audioStack");
    click(findItem(tabBar, QStringLiteral("tab1")));
    EXPECT_EQ(stack("audioStack"), audioStack) << "kept, not built anew";
    EXPECT_TRUE(audioStack->isVisible());
    // Files handed over together: one notice each, the next once "Готово" is pressed.
    for (const char *name : {"one.mp3", "two.mp3"})
        TestSupport::writeFile(root.filePath(QString::fromUtf8(name)), "x");
    lifecycle->openArguments({root.filePath("one.mp3"), root.filePath("two.mp3")}, root.path());
    auto *notice = window->findChild<QObject *>(QStringLiteral("importNotice"));
    ASSERT_NE(notice, nullptr);
    for (const char *name : {"one.mp3", "two.mp3"}) {
        QQuickItem *done = waitForItem([&] {
            return notice->property("opened").toBool() &&
                           notice->property("message").toString().contains(QLatin1String(name))
                       ? findItem(window->contentItem(), QStringLiteral("alertButton0"))
                       : nullptr;
        });
        ASSERT_NE(done, nullptr) << name;
        click(done);
    }
    EXPECT_TRUE(waitFor([&] { return !notice->property("visible").toBool(); }, 5000));

    // The library and export rows open a new screen each time, at the top of the media folder.
    TestSupport::writeFile(StorageLayout::getAudioDir() + QStringLiteral("/Rock/inner.mp3"), "x");
    QQuickItem *audioTab = findText(tabBar, QStringLiteral("Аудио"));
    click(audioTab);
    auto page = [&] { return audioStack->property("currentItem").value<QQuickItem *>(); };
    // Opens the menu's row of that text; the screen it shows.
    auto openRow = [&](const QString &row) -> QObject * {
        QQuickItem *menuRow = waitForItem([&] { return findText(page(), row); });
        if (!menuRow)
            return nullptr;
        click(menuRow);
        return waitFor([&] { return settledAt(audioStack, 2); }, 5000)
                   ? page()->property("controller").value<QObject *>()
                   : nullptr;
    };
    for (const QString &row : {QStringLiteral("Медиатека"), QStringLiteral("Экспорт")}) {
        SCOPED_TRACE(row.toStdString());
        QPointer<QObject> first;
        for (int opening = 0; opening < 2; ++opening) {
            QObject *screen = openRow(row);
            ASSERT_NE(screen, nullptr);
            EXPECT_EQ(screen->property("dirLevel").toInt(), 0) << "opening " << opening + 1;
            if (opening == 0) {
                first = screen;
                click(waitForItem([&] { return findText(page(), QStringLiteral("Rock")); }));
                ASSERT_TRUE(waitFor([&] { return screen->property("dirLevel").toInt() == 1; }, 5000));
            } else {
                EXPECT_NE(screen, first.data()) << "the screen of the last opening came back";
            }
            // "‹ Назад" walks up the folders, then leaves the screen.
            for (int press = 0; press < 3 && audioStack->property("depth").toInt() == 2; ++press) {
                click(findItem(page(), QStringLiteral("backButton")));
                waitFor([&] { return !audioStack->property("busy").toBool(); }, 5000);
            }
            ASSERT_TRUE(waitFor([&] { return settledAt(audioStack, 1); }, 5000));
        }
        // The screen of an opening goes with it.
        EXPECT_TRUE(waitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return first.isNull();
            },
            5000));
    }

    // Selecting the tab again is an appearance too: the library lists what arrived meanwhile.
    QQuickItem *loginTab = findText(tabBar, QStringLiteral("Вход"));
    ASSERT_NE(loginTab, nullptr);
    ASSERT_NE(openRow(QStringLiteral("Медиатека")), nullptr);
    click(loginTab);
    TestSupport::writeFile(StorageLayout::getAudioDir() + QStringLiteral("/arrived.mp3"), "x");
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
