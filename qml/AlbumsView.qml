import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrop

// The album screen (Audio_Albums): a search field for album names, the albums found, and the overlay of the
// album search and of the look-up of an album's tracks.
Item {
    id: view
    property Audio_Albums controller
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
        function onKeyboardDismissed() { view.forceActiveFocus() }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title.length > 0 ? view.controller.title : qsTr("Альбомы")
            onBack: view.stack.pop()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            spacing: 6
            TextField {
                id: searchBar
                objectName: "searchBar"
                Layout.fillWidth: true
                placeholderText: qsTr("Название альбома")
                text: view.controller.searchText
                onTextEdited: view.controller.searchText = text
                onAccepted: view.controller.searchBarSearchButtonClicked()
                Keys.onEscapePressed: view.controller.searchBarCancelButtonClicked()
            }
            Button {
                objectName: "searchButton"
                text: qsTr("Найти")
                onClicked: view.controller.searchBarSearchButtonClicked()
            }
        }

        ListView {
            id: table
            objectName: "albumTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.albums
            ScrollBar.vertical: ScrollBar {}
            delegate: ItemDelegate {
                objectName: "albumRow"
                width: ListView.view.width
                height: 56
                onClicked: view.controller.rowSelected(index)
                contentItem: RowLayout {
                    spacing: 10
                    // The album icon, drawn so that no icon font is needed.
                    Rectangle {
                        Layout.preferredWidth: 36
                        Layout.preferredHeight: 36
                        radius: 18
                        color: "#4a76a8"
                        Rectangle {
                            anchors.centerIn: parent
                            width: 10
                            height: 10
                            radius: 5
                            color: "white"
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            Layout.fillWidth: true
                            text: model.name
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.pixelSize: 15
                        }
                        Label {
                            Layout.fillWidth: true
                            text: model.artist
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: "#666666"
                            font.pixelSize: 12
                        }
                    }
                    Label {
                        text: "›"
                        font.pixelSize: 22
                        color: "#aaaaaa"
                    }
                }
            }
            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет альбомов")
                color: "#999999"
            }
        }
    }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.controller.hud
    }
}
