import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrop

Page {
    id: page
    signal openRequested(string screen, string title, string name)
    property string tappedName
    // The tab's menu controller (Audio or Video).
    property CatalogueMenu menu

    Connections {
        target: page.menu
        function onOpenScreen(row, screen, title) { page.openRequested(screen, title, page.tappedName) }
    }
    StackView.onActivating: menu.viewWillAppear()
    Component.onCompleted: menu.viewWillAppear()
    onVisibleChanged: if (visible) menu.viewWillAppear()

    header: ToolBar {
        Label {
            anchors.centerIn: parent
            text: page.title
            font.pixelSize: 18
            font.bold: true
            color: "white"
        }
    }

    ListView {
        anchors.fill: parent
        model: menu
        clip: true
        delegate: ItemDelegate {
            width: ListView.view.width
            height: 64
            onClicked: {
                page.tappedName = model.name
                menu.rowSelected(index)
            }
            contentItem: RowLayout {
                spacing: 12
                Rectangle {
                    Layout.preferredWidth: 40
                    Layout.preferredHeight: 40
                    radius: 8
                    color: Qt.hsla((index * 0.11) % 1, 0.45, 0.5, 1)
                    Label {
                        anchors.centerIn: parent
                        text: model.name.charAt(0)
                        color: "white"
                        font.bold: true
                        font.pixelSize: 18
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Label {
                        Layout.fillWidth: true
                        text: model.name
                        font.pixelSize: 16
                        font.bold: true
                    }
                    Label {
                        Layout.fillWidth: true
                        text: model.description
                        color: "#777777"
                        font.pixelSize: 12
                    }
                }
                Rectangle {
                    visible: model.counter > 0
                    radius: 10
                    color: "#4a76a8"
                    Layout.preferredHeight: 22
                    Layout.preferredWidth: Math.max(28, counterText.implicitWidth + 14)
                    Label {
                        id: counterText
                        anchors.centerIn: parent
                        text: model.counter
                        color: "white"
                        font.pixelSize: 12
                        font.bold: true
                    }
                }
                Label {
                    text: "›"
                    font.pixelSize: 22
                    color: "#aaaaaa"
                }
            }
        }
    }
}
