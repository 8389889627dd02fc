import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts

// The saved playlists screen: one row per playlist file; a tap loads it and goes back to the player, a swipe
// offers deletion.
Item {
    id: view
    property var controller
    property StackView stack

    function rowActions(index) {
        return [{ id: "load", text: qsTr("Загрузить"), icon: "playlist", run: () => view.controller.rowSelected(index) },
                { id: "exportM3u", text: qsTr("Экспорт в M3U"), icon: "export", run: () => view.controller.exportM3u(index) },
                { id: "exportXspf", text: qsTr("Экспорт в XSPF"), icon: "export", run: () => view.controller.exportXspf(index) },
                { id: "delete", text: qsTr("Удалить"), icon: "delete", run: () => view.controller.deleteRow(index) }]
    }

    StackView.onActivating: controller.viewWillAppear()
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onReturnRequested() { view.stack.pop() }
        function onAlertRequested(title, message, buttons, tag) { alert.ask(title, message, buttons, tag) }
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: qsTr("Плейлисты")
            actionIcon: "add"
            actionName: qsTr("Импортировать плейлист...")
            onBack: view.stack.pop()
            onAction: view.controller.importPlaylistPressed()
        }

        ListView {
            id: table
            Accessible.role: Accessible.List
            objectName: "playlistsTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.names
            ScrollBar.vertical: ScrollBar {}
            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            highlight: Rectangle { color: table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }
            Keys.onDeletePressed: if (currentIndex >= 0) view.controller.deleteRow(currentIndex)
            Keys.onReturnPressed: if (currentIndex >= 0) view.controller.rowSelected(currentIndex)
            Keys.onMenuPressed: if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
            // Shift+F10 opens the row's menu too, as on keyboards without a Menu key.
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                    event.accepted = true
                    if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
                }
            }

            delegate: SwipeDelegate {
                id: row
                required property int index
                required property string modelData
                objectName: "playlistsRow" + row.index
                width: ListView.view.width
                height: 48
                hoverEnabled: false
                Accessible.role: Accessible.ListItem
                Accessible.focusable: true
                Accessible.selectable: true
                Accessible.selected: ListView.isCurrentItem
                Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
                Accessible.name: row.modelData
                onClicked: view.controller.rowSelected(row.index)
                // The right button opens the row's menu and nothing else (the row's own click is the left button's).
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: (mouse) => {
                        table.currentIndex = row.index
                        rowMenu.openFor(row, mouse.x, mouse.y, view.rowActions(row.index))
                    }
                }
                contentItem: RowLayout {
                    spacing: 10
                    // icon_playlists.png
                    Icon {
                        glyph: "playlist"
                        color: row.Material.accentColor
                    }
                    Label {
                        Layout.fillWidth: true
                        text: row.modelData
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.family: "Helvetica"
                        font.pixelSize: 15
                    }
                }
                swipe.right: Button {
                    objectName: "deleteButton"
                    height: row.height
                    anchors.right: parent.right
                    text: qsTr("Удалить")
                    palette.button: "#d9342b"
                    palette.buttonText: "white"
                    onClicked: {
                        row.swipe.close()
                        view.controller.deleteRow(row.index)
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет сохранённых плейлистов")
                color: Material.hintTextColor
            }
        }
    }

    RowMenu { id: rowMenu; objectName: "rowMenu" }
}
