#include "app/PasswordAccessible.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

constexpr int normalEcho = 0; // TextInput.Normal; every other echo mode hides the text

// The item's Accessible attached object, where QML keeps the name and description it was given.
QObject *accessibleAttached(const QObject *item)
{
    for (QObject *child : item->children()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    }
    return nullptr;
}

class PasswordFieldAccessible : public QAccessibleObject,
                                public QAccessibleTextInterface,
                                public QAccessibleActionInterface
{
public:
    explicit PasswordFieldAccessible(QQuickItem *item) : QAccessibleObject(item) {}

    QQuickItem *item() const { return static_cast<QQuickItem *>(object()); }

    QWindow *window() const override { return item()->window(); }

    // Up to the nearest ancestor the accessibility tree holds (the one that counts this field as its child).
    QAccessibleInterface *parent() const override
    {
        for (QQuickItem *up = item()->parentItem(); up; up = up->parentItem()) {
            QAccessibleInterface *candidate = QAccessible::queryAccessibleInterface(up);
            if (candidate && candidate->indexOfChild(this) >= 0)
                return candidate;
        }
        if (QQuickWindow *window = item()->window())
            return QAccessible::queryAccessibleInterface(window);
        return nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text kind) const override
    {
        const QObject *attached = accessibleAttached(item());
        switch (kind) {
        case QAccessible::Name: {
            const QString name = attached ? attached->property("name").toString() : QString();
            return name.isEmpty() ? item()->property("placeholderText").toString() : name;
        }
        case QAccessible::Description:
            return attached ? attached->property("description").toString() : QString();
        case QAccessible::Value:
            return masked(0, length());
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QAccessible::Role role() const override { return QAccessible::EditableText; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        const QQuickItem *field = item();
        state.passwordEdit = true;
        state.editable = !field->property("readOnly").toBool();
        state.focusable = field->isEnabled();
        state.focused = field->hasActiveFocus();
        state.disabled = !field->isEnabled();
        state.invisible = !field->isVisible() || !field->window() || !field->window()->isVisible();
        return state;
    }

    QRect rect() const override
    {
        const QQuickItem *field = item();
        if (!field->window() || !field->isVisible())
            return QRect();
        const QPointF topLeft = field->window()->mapToGlobal(field->mapToScene(QPointF(0, 0)));
        return QRect(topLeft.toPoint(), QSize(qRound(field->width()), qRound(field->height())));
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return QAccessibleObject::interface_cast(type);
    }

    // A screen reader (or a test) moves the keyboard into the field.
    QStringList actionNames() const override { return {setFocusAction()}; }
    void doAction(const QString &action) override
    {
        if (action == setFocusAction())
            item()->forceActiveFocus(Qt::OtherFocusReason);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    // The text interface: as long as what was typed, never what was typed.
    void selection(int index, int *start, int *end) const override
    {
        *start = index == 0 ? item()->property("selectionStart").toInt() : 0;
        *end = index == 0 ? item()->property("selectionEnd").toInt() : 0;
    }
    int selectionCount() const override
    {
        return item()->property("selectionStart").toInt() != item()->property("selectionEnd").toInt() ? 1 : 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return item()->property("cursorPosition").toInt(); }
    void setCursorPosition(int position) override { item()->setProperty("cursorPosition", position); }
    QString text(int start, int end) const override { return masked(start, end); }
    int characterCount() const override { return length(); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = length();
        return QString();
    }

private:
    int length() const { return int(item()->property("length").toInt()); }
    QString masked(int start, int end) const
    {
        start = qBound(0, start, length());
        end = end < 0 ? length() : qBound(start, end, length());
        return QString(end - start, QChar(0x2022));
    }
};

QAccessibleInterface *passwordFieldFactory(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !item->inherits("QQuickTextInput"))
        return nullptr;
    const QVariant echo = item->property("echoMode");
    if (!echo.isValid() || echo.toInt() == normalEcho)
        return nullptr;
    return new PasswordFieldAccessible(item);
}

} // namespace

namespace PasswordAccessible {

void install()
{
    QAccessible::installFactory(passwordFieldFactory);
}

} // namespace PasswordAccessible
