import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The saved playlists screen: one row per playlist file; a tap loads it and goes back to the player, a swipe
// offers deletion.
Item {
    id: view
    property var controller
    property StackView stack

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
            onBack: view.stack.pop()
        }

        ListView {
            id: table
            objectName: "playlistsTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.names
            ScrollBar.vertical: ScrollBar {}

            delegate: SwipeDelegate {
                id: row
                objectName: "playlistsRow" + index
                width: ListView.view.width
                height: 48
                hoverEnabled: false
                onClicked: view.controller.rowSelected(index)
                contentItem: RowLayout {
                    spacing: 10
                    // icon_playlists.png
                    Label {
                        text: "☰"
                        font.pixelSize: 18
                        color: "#4a76a8"
                    }
                    Label {
                        Layout.fillWidth: true
                        text: modelData
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
                        view.controller.deleteRow(index)
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет сохранённых плейлистов")
                color: "#999999"
            }
        }
    }
}
