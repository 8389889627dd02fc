import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The album screen (Audio_Albums): a search field for album names, the albums found, and the overlay of the
// album search and of the look-up of an album's tracks.
// Keys: Return in the field searches, Down or Tab goes on to the list, Return on an album opens its tracks.
ResultsView {
    id: view
    // The controller as the screen it is.
    readonly property Audio_Albums screen: view.controller as Audio_Albums

    defaultTitle: qsTr("Альбомы")
    searchHint: qsTr("Название альбома")
    searchButtonEnabled: !view.screen.searchBusy
    searchButtonShowsIcon: true
    // The field gives up the keyboard to the list, so that the arrows and Return go on from the search.
    fieldLeadsToList: true
    tableName: "albumTable"
    rows: view.screen.albums
    emptyText: qsTr("Нет альбомов")

    rowDelegate: ItemDelegate {
        id: row
        required property int index
        required property var model
        objectName: "albumRow" + row.index
        width: ListView.view.width
        height: 60
        Accessible.role: Accessible.ListItem
        Accessible.focusable: true
        Accessible.selectable: true
        Accessible.selected: ListView.isCurrentItem
        Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
        Accessible.name: row.model.name + ", " + row.model.artist
        onClicked: view.activate(row.index)
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
                    text: row.model.name
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.pixelSize: 15
                    font.bold: true
                }
                Label {
                    objectName: "albumArtist"
                    Layout.fillWidth: true
                    text: row.model.artist
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
}
