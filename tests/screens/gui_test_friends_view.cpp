// The friends-and-groups screen as drawn: the side index, the section headers and the row button, pressed
// with the mouse (the pictures arriving: gui_test_window_albums_friends).
#include "../support/GuiHost.h"

#include "core/GlobalData.h"
#include "core/Stores.h"
#include "sandbox/Sandbox.h"
#include "screens/Friends_and_Groups.h"

#include <QClipboard>
#include <QGuiApplication>

using TestSupport::waitFor;

namespace {

class FriendsViewTest : public GuiHostTest
{
protected:
    void SetUp() override
    {
        StorageLayout::setRootDir(root.path());
        ASSERT_TRUE(sandbox.start()); // the pictures' host
        const QString pictures =
            QString::fromStdString(sandbox.baseUrl()) + QStringLiteral("/avatars/u%1.png");
        GlobalData::sharedGlobalData()->setVksid(QString());
        Stores::friendsGroups().clear();
        // The list as it stands is what the screen shows.
        for (int i = 0; i < 30; ++i)
            Stores::friendsGroups().append(QStringLiteral("Alpha %1\n%2\n").arg(i).arg(100 + i) +
                                           pictures.arg(i));
        Stores::friendsGroups().append(QStringList() << QStringLiteral("Beta\n1\n") + pictures.arg(1)
                                                     << QStringLiteral("Бета\n2\n") + pictures.arg(2));
        hostStack();
        if (!HasFatalFailure())
            openFriends(32);
    }
    // Pushes a new screen over the list as it stands, and waits until it shows its `count` records.
    void openFriends(int count)
    {
        screen = new Friends_and_Groups;
        QQmlEngine::setObjectOwnership(screen, QQmlEngine::JavaScriptOwnership); // the view's, as a tab's
        push("FriendsGroupsView.qml", screen);
        ASSERT_TRUE(waitFor([&] { return screen->title() == QStringLiteral("Всего: %1").arg(count); }, 5000));
        settle(); // the push transition ends
    }
    void TearDown() override
    {
        GuiHostTest::TearDown();
        Stores::friendsGroups().clear();
    }

    // The item of that name whose text is `text`.
    QQuickItem *withText(const QString &name, const QString &text) const
    {
        return find(
            [&](QQuickItem *item) { return item->objectName() == name && item->property("text") == text; });
    }
    // The row drawn for the record numbered `number`, when it is on the screen.
    QQuickItem *row(const QString &number) const
    {
        return find([&](QQuickItem *item) {
            return item->objectName() == QLatin1String("friendRow") && findItem(item, [&](QQuickItem *label) {
                       return label->objectName() == QLatin1String("friendDescription") &&
                              label->property("text") == QStringLiteral("id") + number;
                   });
        });
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

    Sandbox sandbox;
    Friends_and_Groups *screen = nullptr;
};

TEST_F(FriendsViewTest, TheSideIndexLeadsToASectionAndTheRowButtonCopiesTheNumber)
{
    QQuickItem *letter = withText(QStringLiteral("indexLetter"), QStringLiteral("Б"));
    ASSERT_NE(letter, nullptr);
    EXPECT_FALSE(onScreen(row(QStringLiteral("2")))) << "the last section starts below the first screen";
    click(letter);
    ASSERT_TRUE(waitFor([&] { return onScreen(row(QStringLiteral("2"))); }, 3000));

    QGuiApplication::clipboard()->clear();
    TestSupport::PacingScope pace(0.05); // the notice stays up long enough to be seen
    QQuickItem *betaRow = row(QStringLiteral("1"));
    ASSERT_TRUE(onScreen(betaRow));
    click(findItem(betaRow, QStringLiteral("copyButton")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1"));
    EXPECT_NE(waitForItem([&] {
                  return withText(QStringLiteral("progressOverlayDetailsLabel"),
                                  QStringLiteral("ID скопирован в буфер"));
              }),
              nullptr);
    ASSERT_TRUE(waitFor([&] { return !screen->busy(); }, 5000));
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
    // Down to the end, back to the start, down to the middle.
    for (const QString &letter : {QStringLiteral("A"), QStringLiteral("Z"), QStringLiteral("M")}) {
        click(withText(QStringLiteral("indexLetter"), letter));
        settle();
    }
    QQuickItem *table = find(QStringLiteral("friendsTable"));
    ASSERT_NE(table, nullptr);
    int headers = 0;
    for (QQuickItem *row : table->property("contentItem").value<QQuickItem *>()->childItems()) {
        if (row->objectName() != QStringLiteral("friendRow") || !row->isVisible() || !onScreen(row))
            continue;
        QQuickItem *name = findItem(row, QStringLiteral("friendName"));
        ASSERT_NE(name, nullptr);
        if (QQuickItem *header = findItem(row, QStringLiteral("sectionHeader"))) {
            ++headers;
            ASSERT_NE(header->childItems().value(0), nullptr);
            EXPECT_EQ(header->childItems().value(0)->property("text").toString(),
                      name->property("text").toString().left(1))
                << name->property("text").toString().toStdString();
        }
    }
    EXPECT_GE(headers, 3) << "a screen of rows shows several sections";
    // The view shows the section it was sent to at its top.
    EXPECT_TRUE(onScreen(row(QStringLiteral("%1").arg('M' * 10))));
}

} // namespace
