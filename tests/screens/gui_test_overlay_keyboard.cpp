// The progress overlay is modal for the keyboard too: while it is up, no control of the screen under it takes
// the focus or a key. Driven with real key presses on the audio search screen, whose search is held up by a
// service that accepts the connection and never answers.
#include "../support/GuiHost.h"
#include "../support/SandboxSignIn.h"

#include "core/GlobalData.h"
#include "core/Stores.h"
#include "sandbox/Sandbox.h"
#include "screens/Audio_Search.h"
#include "service/ServiceEndpoints.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

using TestSupport::waitFor;

namespace {

class OverlayKeyboardTest : public GuiHostTest
{
protected:
    void SetUp() override
    {
        StorageLayout::setRootDir(root.path());
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
        global = GlobalData::sharedGlobalData();
        ASSERT_TRUE(TestSupport::signInToSandbox());
        // From now on the service takes every connection and never answers.
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
        QObject::connect(&silent, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = silent.nextPendingConnection())
                held.append(socket);
        });
        ASSERT_TRUE(
            ServiceEndpoints::useServiceBase(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort())));
        global->domain = ServiceEndpoints::current().webHost;

        hostStack();
        ASSERT_FALSE(HasFatalFailure());
        screen = new Audio_Search;
        QQmlEngine::setObjectOwnership(screen, QQmlEngine::JavaScriptOwnership); // the view's, as a tab's
        screen->setProperty("title", QStringLiteral("Поиск"));
        push("AudioResultsView.qml", screen);
        ASSERT_TRUE(waitFor([&] { return depth() == 2 && !stack()->property("busy").toBool(); }, 5000));
    }
    void TearDown() override
    {
        answerNothingMore();
        waitFor([&] { return !screen || !screen->hud(); }, 20000);
        GuiHostTest::TearDown();
        global->setVksid(QString());
        global->setVkuid(QString());
        Stores::audioFound().clear();
    }

    // Requests under way fail at once, and later ones find nobody listening.
    void answerNothingMore()
    {
        silent.close();
        for (QTcpSocket *socket : std::as_const(held))
            socket->abort();
        qDeleteAll(held);
        held.clear();
    }

    QObject *stack() const { return window->property("stack").value<QObject *>(); }
    // Whether the window's focus sits on a control of the results screen, below its overlay.
    bool focusUnderTheOverlay() const
    {
        QQuickItem *focused = window->activeFocusItem();
        auto *page = stack()->property("currentItem").value<QQuickItem *>();
        bool inPage = false;
        for (QQuickItem *item = focused; item; item = item->parentItem()) {
            if (item->objectName() == QLatin1String("progressOverlay"))
                return false;
            inPage = inPage || item == page;
        }
        return inPage && focused != page;
    }

    Sandbox sandbox;
    QTcpServer silent;
    QList<QTcpSocket *> held;
    GlobalData *global = nullptr;
    QPointer<Audio_Search> screen;
};

TEST_F(OverlayKeyboardTest, NoControlUnderTheOverlayTakesTheFocusOrAKey)
{
    QQuickItem *field = find(QStringLiteral("searchBar"));
    ASSERT_NE(field, nullptr);
    click(field);
    ASSERT_TRUE(field->hasActiveFocus());
    type(QStringLiteral("kino"));
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return screen->hud() != nullptr; }, 5000));
    ASSERT_TRUE(screen->searchBusy());

    // Tab walks nowhere: neither to "‹ Назад" nor to the field or the buttons.
    for (int i = 0; i < 8; ++i) {
        key(Qt::Key_Tab);
        ASSERT_FALSE(focusUnderTheOverlay())
            << "Tab " << i + 1 << " reached " << qPrintable(window->activeFocusItem()->objectName());
        key(Qt::Key_Space);
    }
    key(Qt::Key_Backtab);
    EXPECT_FALSE(focusUnderTheOverlay());
    // Enter, Space and typing press and change nothing under it.
    for (Qt::Key pressed : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Backspace, Qt::Key_A})
        key(pressed);
    // Even a control handed the focus directly gives it back.
    field->forceActiveFocus();
    EXPECT_FALSE(focusUnderTheOverlay());
    key(Qt::Key_Return);

    EXPECT_EQ(depth(), 2) << "a key pressed \"‹ Назад\" under the overlay";
    ASSERT_TRUE(screen) << "the screen was closed under its running search";
    EXPECT_EQ(screen->searchText(), QStringLiteral("kino"));
    EXPECT_TRUE(screen->searchBusy());

    // Once the overlay is gone the keyboard reaches the screen again.
    answerNothingMore();
    ASSERT_TRUE(waitFor([&] { return !screen->hud() && !screen->searchBusy(); }, 20000));
    for (int i = 0; i < 8 && !focusUnderTheOverlay(); ++i)
        key(Qt::Key_Tab);
    EXPECT_TRUE(focusUnderTheOverlay()) << "Tab reaches the screen's controls again";
}

} // namespace
