// The window as accessibility clients (screen readers) read it in the process: the password field never gives
// its text away, and the controls say what they are.
#include "../support/MainWindowTest.h"

#include <QAccessible>

namespace {

using Accessibility = MainWindowTest;

TEST_F(Accessibility, PasswordFieldIsNamedAndMasked)
{
    QQuickItem *password = find(QStringLiteral("passwordInput"));
    QQuickItem *email = find(QStringLiteral("loginInput"));
    ASSERT_NE(password, nullptr);
    ASSERT_NE(email, nullptr);
    password->setProperty("text", QStringLiteral("secret12"));
    email->setProperty("text", QStringLiteral("me@example.com"));

    QAccessibleInterface *field = QAccessible::queryAccessibleInterface(password);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->role(), QAccessible::EditableText);
    EXPECT_TRUE(field->state().passwordEdit);
    EXPECT_EQ(field->text(QAccessible::Name), QStringLiteral("Пароль"));
    EXPECT_FALSE(field->text(QAccessible::Value).contains(QLatin1String("secret")));
    QAccessibleTextInterface *text = field->textInterface();
    ASSERT_NE(text, nullptr);
    // As long as what was typed (a reader says how many characters), never what was typed.
    EXPECT_EQ(text->characterCount(), 8);
    EXPECT_FALSE(text->text(0, text->characterCount()).contains(QLatin1String("secret")));
    EXPECT_FALSE(text->text(0, 3).contains(QLatin1String("sec")));
    // The field is a child of the window's tree, where a reader walking it finds it.
    QAccessibleInterface *parent = field->parent();
    ASSERT_NE(parent, nullptr);
    EXPECT_GE(parent->indexOfChild(field), 0);
    // A reader moves the keyboard into the field.
    ASSERT_NE(field->actionInterface(), nullptr);
    field->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_TRUE(password->hasActiveFocus());

    // The e-mail field is plain text: its text is read out as typed.
    QAccessibleInterface *plain = QAccessible::queryAccessibleInterface(email);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->state().passwordEdit);
    EXPECT_EQ(plain->text(QAccessible::Value), QStringLiteral("me@example.com"));
}

} // namespace
