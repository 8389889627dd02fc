import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrop

// The friends-and-groups screen (Friends_and_Groups): loads the friends or the communities, shows them in
// sections by first letter with a side index, and copies a row's number.
Item {
    id: view
    property Friends_and_Groups controller
    property StackView stack

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onDeactivating: controller.viewWillDisappear()
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === 0 ? ListView.Beginning : ListView.Center)
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title
            onBack: view.stack.pop()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            spacing: 8
            Button {
                objectName: "friendsButton"
                Layout.fillWidth: true
                text: qsTr("Друзья")
                onClicked: view.controller.getFriends()
            }
            Button {
                objectName: "groupsButton"
                Layout.fillWidth: true
                text: qsTr("Группы")
                onClicked: view.controller.getGroups()
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: table
                objectName: "friendsTable"
                anchors.fill: parent
                anchors.rightMargin: sideIndex.visible ? sideIndex.width : 0
                clip: true
                model: view.controller.rows
                ScrollBar.vertical: ScrollBar {}
                section.property: "section"
                section.delegate: Rectangle {
                    required property string section
                    width: ListView.view.width
                    height: 24
                    color: "#e9edf1"
                    Label {
                        anchors.verticalCenter: parent.verticalCenter
                        x: 12
                        text: parent.section
                        font.bold: true
                        color: "#4a5866"
                    }
                }
                delegate: Item {
                    objectName: "friendRow"
                    width: ListView.view.width
                    height: 60
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 12
                        anchors.rightMargin: 4
                        spacing: 10
                        CachedImage {
                            objectName: "avatar"
                            Layout.preferredWidth: 44
                            Layout.preferredHeight: 44
                            source: model.picture
                            placeholder: Rectangle { color: "#d5dbe2"; radius: 4 }
                        }
                        ColumnLayout {
                            Layout.fillWidth: true
                            spacing: 2
                            Label {
                                Layout.fillWidth: true
                                text: model.name
                                textFormat: Text.PlainText
                                elide: Text.ElideRight
                                maximumLineCount: 1
                                font.pixelSize: 15
                                font.bold: true
                            }
                            Label {
                                Layout.fillWidth: true
                                text: model.description
                                elide: Text.ElideRight
                                color: "#666666"
                                font.pixelSize: 12
                            }
                        }
                        // The detail button: a ringed "i", drawn so that no icon font is needed.
                        ToolButton {
                            objectName: "copyButton"
                            Layout.preferredWidth: 44
                            Layout.preferredHeight: 44
                            ToolTip.visible: hovered
                            ToolTip.text: qsTr("Скопировать ID")
                            onClicked: view.controller.accessoryButtonTapped(index)
                            contentItem: Item {
                                Rectangle {
                                    anchors.centerIn: parent
                                    width: 22
                                    height: 22
                                    radius: 11
                                    color: "transparent"
                                    border.color: "#4a76a8"
                                    border.width: 2
                                    Text {
                                        anchors.centerIn: parent
                                        text: "i"
                                        color: "#4a76a8"
                                        font.bold: true
                                        font.pixelSize: 14
                                    }
                                }
                            }
                        }
                    }
                    Rectangle {
                        anchors.bottom: parent.bottom
                        x: 66
                        width: parent.width - x
                        height: 1
                        color: "#e4e4e4"
                    }
                }
                Label {
                    anchors.centerIn: parent
                    visible: table.count === 0
                    text: qsTr("Нет записей")
                    color: "#999999"
                }
            }

            // The side index: a letter shows its section.
            Column {
                id: sideIndex
                objectName: "sideIndex"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                width: 22
                visible: view.controller.alphabet.length > 0
                Repeater {
                    model: view.controller.alphabet
                    delegate: Label {
                        objectName: "indexLetter"
                        required property string modelData
                        required property int index
                        width: sideIndex.width
                        height: Math.min(18, (sideIndex.parent.height - 8) / Math.max(1, view.controller.alphabet.length))
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        text: modelData
                        color: "#4a76a8"
                        font.bold: true
                        font.pixelSize: Math.min(12, height)
                        MouseArea {
                            anchors.fill: parent
                            onClicked: {
                                const row = view.controller.sectionForSectionIndexTitle(index)
                                if (row >= 0)
                                    table.positionViewAtIndex(row, ListView.Beginning)
                            }
                        }
                    }
                }
            }
        }
    }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.controller.hud
    }
}
