// The friends-and-groups screen as drawn: sections, the side index, and the row button, pressed with the
// mouse.
#include "../support/TestSupport.h"
#include "../support/WindowSettle.h"

#include "app/Shell.h"
#include "app/ViewSingletons.h"
#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "sandbox/Sandbox.h"
#include "screens/Friends_and_Groups.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using TestSupport::waitFor;

namespace {

// The screen as a tab shows it: pushed onto a navigation stack.
const QByteArray hostQml = R"(
import QtQuick
import QtQuick.Controls
import Melodrop
ApplicationWindow {
    width: 400
    height: 600
    visible: true
    property alias stack: stack
    StackView { id: stack; anchors.fill: parent; initialItem: Item {} }
    Component { id: friendsScreen; Friends_and_Groups {} }
    function openFriends() {
        const controller = friendsScreen.createObject(null)
        stack.push("qrc:/qml/Melodrop/FriendsGroupsView.qml", { controller: controller, stack: stack })
        return controller
    }
}
)";

QQuickItem *findItem(QQuickItem *item, const QString &name, const std::function<bool(QQuickItem *)> &accept)
{
    if (item->objectName() == name && item->isVisible() && accept(item))
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = findItem(child, name, accept))
            return found;
    }
    return nullptr;
}

class FriendsViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QQuickStyle::setStyle(QStringLiteral("Material"));
        static Shell shell;
        ViewSingletons::provide(&shell);
    }

    void SetUp() override
    {
        StorageLayout::setRootDir(root.path());
        ASSERT_TRUE(sandbox.start()); // the pictures' host
        const QString pictures =
            QString::fromStdString(sandbox.baseUrl()) + QStringLiteral("/avatars/u%1.png");
        global = GlobalData::sharedGlobalData();
        global->setVksid(QString());
        Stores::friendsGroups().clear();
        // The list as it stands is what the screen shows.
        for (int i = 0; i < 30; ++i)
            Stores::friendsGroups().append(QStringLiteral("Alpha %1\n%2\n").arg(i).arg(100 + i) +
                                           pictures.arg(i));
        Stores::friendsGroups().append(QStringList() << QStringLiteral("Beta\n1\n") + pictures.arg(1)
                                                     << QStringLiteral("Бета\n2\n") + pictures.arg(2));

        QQmlComponent component(&engine);
        component.setData(hostQml, QUrl());
        window.reset(qobject_cast<QQuickWindow *>(component.create()));
        ASSERT_TRUE(window) << qPrintable(component.errorString());
        ASSERT_TRUE(waitFor([&] { return window->isExposed(); }, 5000));
        openFriends(32);
    }
    // Pushes a new screen over the list as it stands, and waits until it shows its `count` records.
    void openFriends(int count)
    {
        QVariant controller;
        QMetaObject::invokeMethod(window.get(), "openFriends", Q_RETURN_ARG(QVariant, controller));
        screen = qobject_cast<Friends_and_Groups *>(controller.value<QObject *>());
        ASSERT_NE(screen, nullptr);
        ASSERT_TRUE(waitFor([&] { return screen->title() == QStringLiteral("Всего: %1").arg(count); }, 5000));
        TestSupport::settle(window.get(), 400); // the push transition ends
    }
    void TearDown() override
    {
        window.reset();
        Stores::friendsGroups().clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StorageLayout::setRootDir(QString());
    }

    QQuickItem *find(
        const QString &name,
        const std::function<bool(QQuickItem *)> &accept = [](QQuickItem *) { return true; }) const
    {
        return findItem(window->contentItem(), name, accept);
    }
    void click(QQuickItem *item) const
    {
        ASSERT_NE(item, nullptr);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }
    // The row drawn for the record numbered `number`, when it is on the screen.
    QQuickItem *row(const QString &number) const
    {
        return find(QStringLiteral("friendRow"), [&](QQuickItem *item) {
            return findItem(item, QStringLiteral("friendDescription"), [&](QQuickItem *label) {
                return label->property("text").toString() == QStringLiteral("id") + number;
            });
        });
    }
    // The overlay's details line once the overlay shows.
    QString shownDetails() const
    {
        QQuickItem *details = nullptr;
        waitFor([&] { return (details = find(QStringLiteral("progressOverlayDetailsLabel"))) != nullptr; },
                3000);
        return details ? details->property("text").toString() : QString();
    }
    // Whether the row's top is inside the table's visible part.
    bool onScreen(QQuickItem *item) const
    {
        QQuickItem *table = find(QStringLiteral("friendsTable"));
        if (!item || !table)
            return false;
        const qreal top = item->mapToScene(QPointF(0, 0)).y();
        const qreal tableTop = table->mapToScene(QPointF(0, 0)).y();
        return top >= tableTop && top + item->height() / 2 <= tableTop + table->height();
    }

    QTemporaryDir root;
    Sandbox sandbox;
    GlobalData *global = nullptr;
    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
    Friends_and_Groups *screen = nullptr;
};

TEST_F(FriendsViewTest, TheSideIndexLeadsToASectionAndTheRowButtonCopiesTheNumber)
{
    // The rows' pictures arrive from their addresses.
    ASSERT_TRUE(waitFor(
        [&] {
            return find(QStringLiteral("avatar"),
                        [](QQuickItem *a) { return a->property("ready").toBool(); });
        },
        5000));
    EXPECT_EQ(screen->alphabet(), QStringList({"A", "B", "Б"}));
    QQuickItem *letter = find(QStringLiteral("indexLetter"), [](QQuickItem *item) {
        return item->property("text").toString() == QStringLiteral("Б");
    });
    ASSERT_NE(letter, nullptr);
    EXPECT_FALSE(onScreen(row(QStringLiteral("2")))) << "the last section starts below the first screen";
    click(letter);
    ASSERT_TRUE(waitFor([&] { return onScreen(row(QStringLiteral("2"))); }, 3000));

    QGuiApplication::clipboard()->clear();
    TestSupport::PacingScope pace(0.05); // the notice stays up long enough to be seen
    QQuickItem *betaRow = row(QStringLiteral("1"));
    ASSERT_TRUE(onScreen(betaRow));
    click(findItem(betaRow, QStringLiteral("copyButton"), [](QQuickItem *) { return true; }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1"));
    EXPECT_EQ(shownDetails(), QStringLiteral("ID скопирован в буфер"));
    ASSERT_TRUE(waitFor([&] { return !screen->busy(); }, 5000));
}

TEST_F(FriendsViewTest, TheLoadButtonsSaySoWhenSignedOut)
{
    TestSupport::PacingScope pace(0.05);
    click(find(QStringLiteral("groupsButton")));
    EXPECT_EQ(shownDetails(), QStringLiteral("Не выполнен вход"));
    ASSERT_TRUE(waitFor([&] { return !screen->busy(); }, 5000));
    EXPECT_EQ(screen->title(), QStringLiteral("Всего: 32")); // the list is as it was
}

TEST_F(FriendsViewTest, SectionHeadersStayWithTheirRowsWhenScrolledAwayAndBack)
{
    // Three names for each Latin letter, so that headers leave the screen and come back.
    Stores::friendsGroups().clear();
    for (char letter = 'Z'; letter >= 'A'; --letter) {
        for (int i = 0; i < 3; ++i)
            Stores::friendsGroups().append(
                QStringLiteral("%1name %2\n%3\n").arg(QChar(letter)).arg(i).arg(letter * 10 + i));
    }
    openFriends(78);
    if (HasFatalFailure())
        return;
    auto letterButton = [&](const QString &letter) {
        return find(QStringLiteral("indexLetter"),
                    [&](QQuickItem *item) { return item->property("text").toString() == letter; });
    };
    // Down to the end, back to the start, down to the middle.
    for (const QString &letter : {QStringLiteral("A"), QStringLiteral("Z"), QStringLiteral("M")}) {
        click(letterButton(letter));
        TestSupport::settle(window.get(), 400);
    }
    QQuickItem *table = find(QStringLiteral("friendsTable"));
    ASSERT_NE(table, nullptr);
    int headers = 0;
    for (QQuickItem *row : table->property("contentItem").value<QQuickItem *>()->childItems()) {
        if (row->objectName() != QStringLiteral("friendRow") || !row->isVisible() || !onScreen(row))
            continue;
        QQuickItem *name = findItem(row, QStringLiteral("friendName"), [](QQuickItem *) { return true; });
        ASSERT_NE(name, nullptr);
        const QString letter = name->property("text").toString().left(1);
        QQuickItem *header =
            findItem(row, QStringLiteral("sectionHeader"), [](QQuickItem *) { return true; });
        if (header) {
            ++headers;
            QQuickItem *label = header->childItems().value(0);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->property("text").toString(), letter)
                << name->property("text").toString().toStdString();
        }
    }
    EXPECT_GE(headers, 3) << "a screen of rows shows several sections";
    // The view shows the section it was sent to at its top.
    QQuickItem *top = row(QStringLiteral("%1").arg('M' * 10));
    EXPECT_TRUE(onScreen(top));
}

} // namespace
