#pragma once

// The whole window as the program loads it, for cases that drive it with real key presses and clicks. One
// shell and one QML engine serve the whole test program (the singletons belong to the first engine that uses
// them); each case gets a documents folder and a settings file of its own, starts on the first section at
// 1280×800, and fails on any warning of our QML.
#include "../support/MainWindow.h"
#include "../support/TestSupport.h"
#include "../support/WindowSettle.h"

#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "playback/AudioPlayer.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

class MainWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (shell)
            return; // one registration for every suite of this program
        shell = new Shell;
        lifecycle = new Lifecycle;
        TestSupport::registerForQml(shell, lifecycle);
    }

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        qmlWarnings().clear();
        previousHandler = qInstallMessageHandler(collectWarnings);
        if (!engine) {
            engine = new QQmlApplicationEngine;
            ASSERT_NE(TestSupport::loadMainWindow(*engine), nullptr)
                << qmlWarnings().join('\n').toStdString();
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
        QTest::keyClick(window, Qt::Key_Escape); // whatever dialog a failed case left open
        settle();
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(qmlWarnings().isEmpty()) << qmlWarnings().join('\n').toStdString();
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }

    // Items on stack pages and in popups are not QObject children: walk the drawn tree.
    static QQuickItem *findItem(QQuickItem *item, const QString &name)
    {
        if (!item || !item->isVisible())
            return nullptr;
        if (item->objectName() == name)
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = findItem(child, name))
                return found;
        }
        return nullptr;
    }
    QQuickItem *find(const QString &name) const
    {
        QQuickItem *top =
            window->contentItem()->parentItem() ? window->contentItem()->parentItem() : window->contentItem();
        return findItem(top, name);
    }
    QQuickItem *waitForItem(const QString &name) const
    {
        QQuickItem *item = nullptr;
        TestSupport::waitFor([&] { return (item = find(name)) != nullptr; }, 5000);
        return item;
    }
    // Whether the item has stopped moving in: a popup scales and fades in, and a click meanwhile lands off
    // it.
    static bool steady(const QQuickItem *item)
    {
        for (; item; item = item->parentItem()) {
            if (item->opacity() < 1.0 || item->scale() != 1.0)
                return false;
        }
        return true;
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window, Qt::Key(key), modifiers);
    }
    void settle() { TestSupport::settle(window, settleMs); }

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
    static inline QQmlApplicationEngine *engine = nullptr;
    QTemporaryDir root;
    QtMessageHandler previousHandler = nullptr;
    QQuickWindow *window = nullptr;
    int settleMs = 300;
};
