#pragma once

// A window drawing a few lines of QML given inline (a list view over a model, as a screen draws it), shown
// and exposed, for benchmarks that pay for drawing too.
#include <QCoreApplication>
#include <QQmlContext>
#include <QQuickView>
#include <QUrl>

#include <functional>

struct InlineView
{
    // `prepare` runs on the view's context before the QML is loaded (context properties it names).
    InlineView(const QString &qml, QSize size, const std::function<void(QQmlContext *)> &prepare = {})
    {
        if (prepare)
            prepare(view.rootContext());
        view.setSource(
            QUrl(QStringLiteral("data:text/plain,") + QString::fromLatin1(QUrl::toPercentEncoding(qml))));
        view.resize(size);
        view.show();
        // Every iteration must pay for the same thing: the view drawn, not yet exposed for the first ones.
        while (!view.isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        settle();
    }
    // Until the view has laid out and drawn what changed, with nothing left queued.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    QQuickView view;
};
