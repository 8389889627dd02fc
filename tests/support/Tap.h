#pragma once

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQuickTest/quicktest.h>

namespace TestSupport {

// Clicks the middle of `item` with the mouse, as a user would: whatever is drawn there gets the click, so a
// hidden, disabled or covered control does not react. The window's layouts are brought up to date first, as
// the user sees the frame before clicking. False when the item is missing, hidden or disabled.
inline bool tap(QQuickWindow *window, QQuickItem *item)
{
    if (!window || !item)
        return false;
    QQuickTest::qWaitForPolish(window);
    if (!item->isVisible() || !item->isEnabled())
        return false;
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre);
    return true;
}

} // namespace TestSupport
