import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The album screen (Audio_Albums): a search field for album names, the albums found, and the overlay of the
// album search and of the look-up of an album's tracks.
// Keys: Return in the field searches, Down or Tab goes on to the list, Return on an album opens its tracks.
Item {
    id: view
    property Audio_Albums controller
    property StackView stack
    // Ctrl+F focuses it.
    property alias searchField: searchBar

    function openAlbum(index) {
        table.currentIndex = index
        view.controller.rowSelected(index)
    }

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === 0 ? ListView.Beginning : ListView.Center)
        }
        // The field gives up the keyboard to the list, so that the arrows and Return go on from the search.
        function onKeyboardDismissed() { table.forceActiveFocus() }
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
                Accessible.name: placeholderText
                text: view.controller.searchText
                onTextEdited: view.controller.searchText = text
                onAccepted: view.controller.searchBarSearchButtonClicked()
                Keys.onEscapePressed: view.controller.searchBarCancelButtonClicked()
                Keys.onDownPressed: if (table.count > 0) {
                    table.forceActiveFocus()
                    if (table.currentIndex < 0)
                        table.currentIndex = 0
                }
            }
            Button {
                objectName: "searchButton"
                text: qsTr("Найти")
                icon.name: "edit-find"
                icon.source: "qrc:/icons/search.svg"
                focusPolicy: Qt.NoFocus
                enabled: !view.controller.searchBusy
                onClicked: view.controller.searchBarSearchButtonClicked()
            }
        }

        ListView {
            id: table
            Accessible.role: Accessible.List
            objectName: "albumTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.albums
            ScrollBar.vertical: ScrollBar {}
            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            highlight: Rectangle { color: table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }
            Keys.onReturnPressed: if (currentIndex >= 0) view.openAlbum(currentIndex)
            Keys.onEnterPressed: if (currentIndex >= 0) view.openAlbum(currentIndex)
            // Up from the first album goes back to the field.
            Keys.onUpPressed: (event) => {
                if (currentIndex <= 0)
                    searchBar.forceActiveFocus()
                else
                    event.accepted = false
            }
            delegate: ItemDelegate {
                objectName: "albumRow" + index
                width: ListView.view.width
                height: 60
                Accessible.role: Accessible.ListItem
                Accessible.focusable: true
                Accessible.selectable: true
                Accessible.selected: ListView.isCurrentItem
                Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
                Accessible.name: model.name + ", " + model.artist
                onClicked: view.openAlbum(index)
                contentItem: RowLayout {
                    spacing: 12
                    Rectangle {
                        Layout.preferredWidth: 40
                        Layout.preferredHeight: 40
                        radius: 8
                        color: Qt.alpha(Material.accentColor, 0.15)
                        Icon {
                            anchors.centerIn: parent
                            glyph: "albums"
                            color: Material.accentColor
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            objectName: "albumName"
                            Layout.fillWidth: true
                            text: model.name
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.pixelSize: 15
                            font.bold: true
                        }
                        Label {
                            objectName: "albumArtist"
                            Layout.fillWidth: true
                            text: model.artist
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: Material.secondaryTextColor
                            font.pixelSize: 12
                        }
                    }
                    Icon {
                        glyph: "chevron"
                        color: Material.hintTextColor
                    }
                }
            }
            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет альбомов")
                color: Material.hintTextColor
            }
        }
    }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.controller.hud
    }
}
