// The whole window as the program loads it: every view compiles, and the tabs lead where they should.
#include "../support/TestSupport.h"

#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "service/VKontakteWorks.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList qmlWarnings;

// Taps the navigation bar's back button of the stack's top page.
void goBack(QQuickItem *stack)
{
    auto *page = stack->property("currentItem").value<QQuickItem *>();
    QObject *back = page ? page->findChild<QObject *>(QStringLiteral("backButton")) : nullptr;
    ASSERT_NE(back, nullptr);
    QMetaObject::invokeMethod(back, "clicked");
}

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QLatin1String("qrc:/qml/")))
        qmlWarnings << message;
}

TEST(MainWindow, LoadsWithoutQmlErrorsAndOpensTheMenusScreens)
{
    QTemporaryDir root;
    VKontakteWorks::setRootDir(root.path());
    qmlWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);

    Shell shell;
    Lifecycle lifecycle;
    QQuickStyle::setStyle(QStringLiteral("Material"));
    Shell::registerQmlTypes(&shell);
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "Lifecycle", &lifecycle);
    {
        QQmlApplicationEngine engine;
        engine.load(QUrl(QStringLiteral("qrc:/qml/Main.qml")));
        ASSERT_FALSE(engine.rootObjects().isEmpty()) << qmlWarnings.join('\n').toStdString();
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        ASSERT_NE(window, nullptr);
        window->show();

        auto *tabBar = window->findChild<QQuickItem *>(QStringLiteral("tabBar"));
        ASSERT_NE(tabBar, nullptr);
        EXPECT_EQ(tabBar->property("count").toInt(), 4);

        // Every audio menu row opens a page: a screen of this build or a plain "not yet" page.
        auto *stack = window->findChild<QQuickItem *>(QStringLiteral("audioStack"));
        auto *menu = window->findChild<QObject *>(QStringLiteral("audioMenu"));
        ASSERT_NE(stack, nullptr);
        ASSERT_NE(menu, nullptr);
        for (int row = 0; row < 9; ++row) {
            QMetaObject::invokeMethod(menu, "rowSelected", Q_ARG(int, row));
            ASSERT_TRUE(TestSupport::waitFor([&] { return stack->property("depth").toInt() == 2; }, 5000))
                << row;
            goBack(stack);
            ASSERT_TRUE(TestSupport::waitFor([&] { return stack->property("depth").toInt() == 1; }, 5000))
                << row;
        }
        auto *videoStack = window->findChild<QQuickItem *>(QStringLiteral("videoStack"));
        auto *videoMenu = window->findChild<QObject *>(QStringLiteral("videoMenu"));
        ASSERT_NE(videoMenu, nullptr);
        for (int row = 0; row < 7; ++row) {
            QMetaObject::invokeMethod(videoMenu, "rowSelected", Q_ARG(int, row));
            ASSERT_TRUE(
                TestSupport::waitFor([&] { return videoStack->property("depth").toInt() == 2; }, 5000))
                << row;
            goBack(videoStack);
            ASSERT_TRUE(
                TestSupport::waitFor([&] { return videoStack->property("depth").toInt() == 1; }, 5000));
        }
        TestSupport::waitFor([] { return false; }, 300); // let late bindings report
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(qmlWarnings.isEmpty()) << qmlWarnings.join('\n').toStdString();
}

} // namespace
