#pragma once

// What a window draws, found and pressed as a user finds and presses it: items on stack pages and in popups
// are not QObject children, so the drawn tree is walked, and only what is visible counts; presses are real
// clicks and keys at the items' places, so a hidden, covered or disabled control does not react.
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <gtest/gtest.h>

#include <functional>

class GuiItems
{
protected:
    // Every visible item at or below `item` that `accept` takes, in the drawn tree's order.
    static QList<QQuickItem *> findAll(QQuickItem *item, const std::function<bool(QQuickItem *)> &accept)
    {
        QList<QQuickItem *> found;
        if (!item || !item->isVisible())
            return found;
        if (accept(item))
            found << item;
        for (QQuickItem *child : item->childItems())
            found << findAll(child, accept);
        return found;
    }
    static QQuickItem *findItem(QQuickItem *item, const std::function<bool(QQuickItem *)> &accept)
    {
        return findAll(item, accept).value(0);
    }
    static QQuickItem *findItem(QQuickItem *item, const QString &name)
    {
        return findItem(item, [&](QQuickItem *candidate) { return candidate->objectName() == name; });
    }
    // Anywhere in the window, the popups included.
    QList<QQuickItem *> findAll(const std::function<bool(QQuickItem *)> &accept) const
    {
        QQuickItem *content = window->contentItem();
        return findAll(content->parentItem() ? content->parentItem() : content, accept);
    }
    QQuickItem *find(const std::function<bool(QQuickItem *)> &accept) const
    {
        return findAll(accept).value(0);
    }
    QQuickItem *find(const QString &name) const
    {
        return find([&](QQuickItem *item) { return item->objectName() == name; });
    }
    QQuickItem *withText(const QString &text) const
    {
        return find([&](QQuickItem *item) { return item->property("text").toString() == text; });
    }
    QQuickItem *waitForItem(const std::function<QQuickItem *()> &lookup, int timeoutMs = 5000) const
    {
        QQuickItem *item = nullptr;
        TestSupport::waitFor([&] { return (item = lookup()) != nullptr; }, timeoutMs);
        return item;
    }
    QQuickItem *waitForItem(const QString &name, int timeoutMs = 5000) const
    {
        return waitForItem([&] { return find(name); }, timeoutMs);
    }
    // The picture named `name` once it has loaded (Image.Ready), or null.
    QQuickItem *waitForPicture(const QString &name, int timeoutMs = 10000) const
    {
        return waitForItem(
            [&] {
                QQuickItem *found = find(name);
                return found && found->property("status").toInt() == 1 ? found : nullptr;
            },
            timeoutMs);
    }
    // The colour drawn at the middle of `item` in the window's picture `shot`.
    static QColor colourAtMiddle(const QImage &shot, const QQuickItem *item)
    {
        const QPointF middle = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        return shot.pixelColor((middle * shot.devicePixelRatio()).toPoint());
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
    // A real click in the middle of the item (or at `at` inside it), once it is in place and the window's
    // layouts are up to date, as the user sees the frame before clicking: whatever is drawn there gets it.
    void click(QQuickItem *item, Qt::MouseButton button = Qt::LeftButton, QPointF at = QPointF(-1, -1)) const
    {
        ASSERT_NE(item, nullptr);
        TestSupport::waitFor([&] { return steady(item); }, 2000);
        QQuickTest::qWaitForPolish(window);
        if (at.x() < 0)
            at = QPointF(item->width() / 2, item->height() / 2);
        QTest::mouseClick(window, button, Qt::NoModifier, item->mapToScene(at).toPoint());
    }
    // Waits for the item of that name, lets the window settle, and clicks it; false when it never showed.
    bool press(const QString &name) const
    {
        QQuickItem *item = waitForItem(name);
        if (!item)
            return false;
        settle();
        click(item);
        return true;
    }
    // Clicks the item once the window has settled; false when it is missing, hidden or disabled.
    bool press(QQuickItem *item) const
    {
        settle();
        if (!item || !item->isVisible() || !item->isEnabled())
            return false;
        click(item);
        return true;
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(window, Qt::Key(key), modifiers);
    }
    // Types `text` key by key; letters beyond ASCII come as the keys of a keyboard that has them.
    void type(const QString &text) const
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(window, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, window, Qt::Key(c.toUpper().unicode()), QString(c),
                                    Qt::NoModifier);
        }
    }
    // Lets the window's transitions run out: returns once it has drawn no frame for a tenth of a second, and
    // after `settleMs` (the longest transition) whatever it still draws.
    void settle() const
    {
        QElapsedTimer sinceFrame;
        sinceFrame.start();
        const QMetaObject::Connection frames =
            QObject::connect(window, &QQuickWindow::afterAnimating, window, [&] { sinceFrame.restart(); });
        TestSupport::waitFor([&] { return sinceFrame.elapsed() >= 100; }, settleMs);
        QObject::disconnect(frames);
    }
    // Whether the item lies wholly inside the window, so nothing of it is cut off.
    bool inside(QQuickItem *item) const
    {
        const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        return QRectF(0, 0, window->width(), window->height()).adjusted(-0.5, -0.5, 0.5, 0.5).contains(rect);
    }
    // Whether the keyboard is in the item of that name or in one inside it.
    bool focusIn(const QString &name) const
    {
        for (QQuickItem *item = window->activeFocusItem(); item; item = item->parentItem()) {
            if (item->objectName() == name)
                return true;
        }
        return false;
    }
    // The window once its transitions have ended, kept under /tmp/melodrop-shots for a person to look at.
    QImage grab(const QString &name) const
    {
        settle();
        const QImage image = window->grabWindow();
        QDir().mkpath(QStringLiteral("/tmp/melodrop-shots"));
        image.save(QStringLiteral("/tmp/melodrop-shots/") + name);
        return image;
    }

    QQuickWindow *window = nullptr;
    int settleMs = 300;
};
