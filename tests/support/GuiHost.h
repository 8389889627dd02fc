#pragma once

// One view in a small window of its own, as the view tests draw it: the window made from a QML text in the
// Material style, with the shell's singletons provided.
#include "GuiItems.h"

#include "app/Shell.h"
#include "app/ViewSingletons.h"
#include "core/StorageLayout.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QTemporaryDir>

#include <memory>

class GuiHostTest : public ::testing::Test, public GuiItems
{
protected:
    GuiHostTest() { settleMs = 400; }
    static void SetUpTestSuite()
    {
        QQuickStyle::setStyle(QStringLiteral("Material"));
        static Shell shell;
        ViewSingletons::provide(&shell);
    }
    // The window made from `qml`, shown.
    void host(const QByteArray &qml)
    {
        ASSERT_TRUE(root.isValid());
        QQmlComponent component(&engine);
        component.setData(qml, QUrl());
        owned.reset(qobject_cast<QQuickWindow *>(component.create()));
        window = owned.get();
        ASSERT_TRUE(window) << qPrintable(component.errorString());
        ASSERT_TRUE(TestSupport::waitFor([&] { return window->isExposed(); }, 5000));
    }
    void closeWindow()
    {
        window = nullptr;
        owned.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void TearDown() override
    {
        closeWindow();
        StorageLayout::setRootDir(QString());
    }

    QTemporaryDir root;
    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> owned;
};
