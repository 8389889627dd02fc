#pragma once

// The whole window as the program loads it, for cases that drive it with real key presses and clicks. One
// shell and one QML engine serve the whole test program (the singletons belong to the first engine that uses
// them; its pictures load through an image cache in a folder of the program's own, as the program's do); each
// case gets a documents folder and a settings file of its own, starts on the first section at 1280×800 with
// both stacks at their menus, and fails on any warning of our QML.
#include "../support/GuiItems.h"
#include "../support/SandboxSignIn.h"

#include "app/ImageCache.h"
#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "app/ViewSingletons.h"
#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "playback/AudioPlayer.h"
#include "sandbox/Sandbox.h"
#include "service/ServiceEndpoints.h"

#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QTemporaryDir>

class MainWindowTest : public ::testing::Test, public GuiItems
{
public:
    // Whether the stack shows `depth` screens and has stopped moving.
    static bool settledAt(QQuickItem *stack, int depth)
    {
        return stack->property("depth").toInt() == depth && !stack->property("busy").toBool();
    }

protected:
    static void SetUpTestSuite()
    {
        if (shell)
            return; // one registration for every suite of this program
        // Kept to the end of the program: the shell's queue must not outlive the application object.
        shell = new Shell;
        lifecycle = new Lifecycle;
        imageFolder = new QTemporaryDir;
        imageCache = new ImageCache(imageFolder->path());
        QQuickStyle::setStyle(QStringLiteral("Material"));
        ViewSingletons::provide(shell, lifecycle);
    }

    // Runs on the case's own folder and settings before the window is shown (and, in the program's first
    // case, before it is loaded): what the program would have found at start, a session above all.
    virtual void beforeWindow() {}

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        global = GlobalData::sharedGlobalData();
        beforeWindow();
        if (HasFatalFailure())
            return;
        qmlWarnings().clear();
        previousHandler = qInstallMessageHandler(collectWarnings);
        if (!engine) {
            engine = new QQmlApplicationEngine;
            engine->setNetworkAccessManagerFactory(imageCache);
            engine->load(QUrl(QStringLiteral("qrc:/qml/Melodrop/Main.qml")));
            ASSERT_FALSE(engine->rootObjects().isEmpty()) << qmlWarnings().join('\n').toStdString();
        }
        window = qobject_cast<QQuickWindow *>(engine->rootObjects().first());
        ASSERT_NE(window, nullptr);
        window->setProperty("section", 0);
        window->resize(1280, 800);
        window->show();
        ASSERT_TRUE(TestSupport::waitFor([&] { return window->isExposed(); }, 5000));
        settle();
    }
    void TearDown() override
    {
        DownloadQueue::shared().clear();
        AudioPlayer::dropShared();
        Stores::playlist().clear();
        if (window) {
            QTest::keyClick(window, Qt::Key_Escape); // whatever dialog a failed case left open
            settle();
            backToMenus();
        }
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(qmlWarnings().isEmpty()) << qmlWarnings().join('\n').toStdString();
        // Signed out, and the service where the program looks for it, whatever the case did.
        global->setVksid(QString());
        global->setVkuid(QString());
        ServiceEndpoints::current() = ServiceEndpoints::defaults();
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }

    QQuickItem *stack(const char *name) const
    {
        return window->findChild<QQuickItem *>(QString::fromLatin1(name));
    }
    static QObject *controllerOnTop(QQuickItem *stack)
    {
        auto *page = stack->property("currentItem").value<QQuickItem *>();
        return page ? page->property("controller").value<QObject *>() : nullptr;
    }
    // Presses the back button of the stack's top screen; whether the screen below came back.
    bool back(QQuickItem *stack) const
    {
        const int depth = stack->property("depth").toInt();
        TestSupport::waitFor([&] { return !stack->property("busy").toBool(); }, 5000);
        click(findItem(stack->property("currentItem").value<QQuickItem *>(), QStringLiteral("backButton")));
        return TestSupport::waitFor([&] { return settledAt(stack, depth - 1); }, 5000);
    }
    // Shows each section whose stack is not at its menu and presses the back button of its top screen until
    // it is.
    void backToMenus()
    {
        const std::pair<const char *, int> sections[] = {{"audioStack", 1}, {"videoStack", 2}};
        for (const auto &[name, section] : sections) {
            QQuickItem *tab = stack(name);
            if (!tab || tab->property("depth").toInt() <= 1)
                continue;
            window->setProperty("section", section);
            for (int press = 0; press < 5 && tab->property("depth").toInt() > 1; ++press) {
                TestSupport::waitFor([&] { return !tab->property("busy").toBool(); }, 5000);
                auto *page = tab->property("currentItem").value<QQuickItem *>();
                QQuickItem *back = findItem(page, QStringLiteral("backButton"));
                if (!back)
                    break;
                click(back);
                TestSupport::waitFor([&] { return !tab->property("busy").toBool(); }, 5000);
            }
        }
    }

    static QStringList &qmlWarnings()
    {
        static QStringList warnings;
        return warnings;
    }
    static void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QLatin1String("qrc:/qml/Melodrop/")))
            qmlWarnings() << message;
    }

    static inline Shell *shell = nullptr;
    static inline Lifecycle *lifecycle = nullptr;
    static inline QTemporaryDir *imageFolder = nullptr;
    static inline ImageCache *imageCache = nullptr;
    static inline QQmlApplicationEngine *engine = nullptr;
    QTemporaryDir root;
    GlobalData *global = nullptr;
    QtMessageHandler previousHandler = nullptr;
};

// The window signed in to the sandbox's own account before it is shown.
class SignedInWindowTest : public MainWindowTest
{
protected:
    void beforeWindow() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
        ASSERT_TRUE(TestSupport::signInToSandbox());
    }

    Sandbox sandbox;
};
