import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

Page {
    id: page
    signal openRequested(string screen, string title, string name)
    // The tab's menu controller (Audio or Video).
    property CatalogueMenu menu

    // The row's icon image name ("icon_search.png") to the drawn icon's name.
    function iconFor(image) {
        const names = { "icon_search.png": "search", "icon_user.png": "user", "icon_group.png": "group",
                        "icon_recommended.png": "recommended", "icon_albums.png": "albums",
                        "icon_base.png": "library", "icon_playlist.png": "playlist", "icon_export.png": "export",
                        "icon_friends_groups.png": "friends" }
        return names[image] || "audio"
    }

    Connections {
        target: page.menu
        function onOpenScreen(row, screen, title) { page.openRequested(screen, title, page.menu.name(row)) }
    }
    StackView.onActivating: menu.viewWillAppear()
    Component.onCompleted: menu.viewWillAppear()
    onVisibleChanged: if (visible) menu.viewWillAppear()

    header: ToolBar {
        Material.foreground: "white"
        background: Rectangle {
            implicitHeight: 48
            color: page.Material.theme === Material.Dark ? "#2f4f75" : "#4a76a8"
        }
        Label {
            anchors.centerIn: parent
            text: page.title
            textFormat: Text.PlainText
            font.pixelSize: 18
            font.bold: true
            color: "white"
        }
    }

    // Where the keyboard starts when the menu is shown.
    readonly property Item firstControl: list

    ListView {
        id: list
        Accessible.role: Accessible.List
        objectName: "menuList"
        anchors.fill: parent
        model: page.menu
        clip: true
        keyNavigationEnabled: true
        activeFocusOnTab: true
        currentIndex: -1
        highlightMoveDuration: 0
        highlight: Rectangle { color: list.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }
        Keys.onReturnPressed: {
            if (currentIndex >= 0)
                page.menu.rowSelected(currentIndex)
        }
        delegate: ItemDelegate {
            id: row
            required property int index
            required property var model
            width: ListView.view.width
            height: 64
            objectName: "menuRow" + row.index
            Accessible.role: Accessible.ListItem
            Accessible.focusable: true
            Accessible.selectable: true
            Accessible.selected: ListView.isCurrentItem
            Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
            Accessible.name: row.model.name + ", " + row.model.description + (row.model.counter > 0 ? ", " + row.model.counter : "")
            onClicked: page.menu.rowSelected(row.index)
            contentItem: RowLayout {
                spacing: 12
                // One drawn icon per row kind; the same kind looks the same in the audio and video menus.
                Rectangle {
                    Layout.preferredWidth: 40
                    Layout.preferredHeight: 40
                    radius: 8
                    color: Qt.alpha(Material.accentColor, 0.15)
                    Icon {
                        objectName: "menuImage"
                        anchors.centerIn: parent
                        glyph: page.iconFor(row.model.icon)
                        color: Material.accentColor
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Label {
                        Layout.fillWidth: true
                        text: row.model.name
                        textFormat: Text.PlainText
                        font.pixelSize: 16
                        font.bold: true
                        elide: Text.ElideRight
                    }
                    Label {
                        Layout.fillWidth: true
                        text: row.model.description
                        textFormat: Text.PlainText
                        color: Material.secondaryTextColor
                        elide: Text.ElideRight
                        font.pixelSize: 12
                    }
                }
                Rectangle {
                    objectName: "menuCounter"
                    visible: row.model.counter > 0
                    radius: 10
                    color: Material.accentColor
                    Layout.preferredHeight: 22
                    Layout.preferredWidth: Math.max(28, counterText.implicitWidth + 14)
                    Label {
                        id: counterText
                        anchors.centerIn: parent
                        text: row.model.counter
                        textFormat: Text.PlainText
                        color: "white"
                        font.pixelSize: 12
                        font.bold: true
                    }
                }
                Icon {
                    glyph: "chevron"
                    color: Material.hintTextColor
                }
            }
        }
    }
}
