import QtQuick
import QtQuick.Controls

// The context menu of a row: `actions` is a list of { text, icon, enabled, run } made by the view for the row
// it was opened on; each item runs its action with the row's index fixed at opening.
Menu {
    id: menu
    property var actions: []
    // Wide enough for the longest action of any row, and always inside the window.
    width: Math.min(280, parent && parent.Window.window ? parent.Window.window.width - 16 : 280)
    margins: 8

    function openFor(item, x, y, list) {
        actions = list
        popup(item, x, y)
    }

    Instantiator {
        model: menu.actions
        delegate: MenuItem {
            required property var modelData
            objectName: "menuItem_" + modelData.id
            text: modelData.text
            icon.source: modelData.icon ? "qrc:/icons/" + modelData.icon + ".svg" : ""
            enabled: modelData.enabled === undefined || modelData.enabled
            onTriggered: modelData.run()
            Accessible.name: text
        }
        onObjectAdded: (index, object) => menu.insertItem(index, object)
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
}
