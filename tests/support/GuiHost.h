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
    // A window with a navigation stack, as a tab shows its screens.
    void hostStack()
    {
        host(R"(
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
ApplicationWindow {
    Material.theme: Material.Light
    Material.accent: "#4a76a8"
    Material.primary: "#4a76a8"
    width: 400
    height: 700
    visible: true
    property alias stack: stack
    StackView { id: stack; anchors.fill: parent; initialItem: Item {} }
    function pushView(view, properties) { stack.push("qrc:/qml/Melodrop/" + view, properties) }
}
)");
    }
    // Pushes the view of that file for `controller`, with `properties` beside it.
    void push(const char *view, QObject *controller, QVariantMap properties = {})
    {
        properties.insert(QStringLiteral("controller"), QVariant::fromValue(controller));
        properties.insert(QStringLiteral("stack"), window->property("stack"));
        QMetaObject::invokeMethod(window, "pushView", Q_ARG(QVariant, QString::fromLatin1(view)),
                                  Q_ARG(QVariant, properties));
    }
    int depth() const { return window->property("stack").value<QObject *>()->property("depth").toInt(); }
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
