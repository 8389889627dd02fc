import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// One audio result screen: search field, sort selector, action strip, the table, preview and overlay.
ResultsView {
    id: view
    // The controller as the screen it is.
    readonly property AudioResults screen: view.controller as AudioResults
    readonly property bool wide: width >= 640

    defaultTitle: qsTr("Аудио")
    actionText: view.screen.hasSelfButton ? qsTr("Свои") : ""
    onAction: view.screen.setSelfId()
    searchHint: view.screen.placeholder.length > 0 ? view.screen.placeholder
        : (view.screen.kind === RecordResultsScreen.Search ? qsTr("Исполнитель или название") : qsTr("ID группы"))
    searchInputHints: view.screen.kind === RecordResultsScreen.Search ? Qt.ImhNone : Qt.ImhDigitsOnly
    searchEnabled: view.screen.inputEnabled
    searchButtonTakesFocus: true
    resultsTakeFocus: true
    tableName: "audioTable"
    rows: view.screen.records
    emptyText: qsTr("Нет записей")
    hasRowMenu: true
    function rowActions(index) {
        return [{ id: "preview", text: qsTr("Прослушать"), icon: "play", run: () => view.screen.rowSelected(index) },
                { id: "queue", text: qsTr("В очередь загрузок"), icon: "download",
                  run: () => view.screen.accessoryButtonTapped(index) }]
    }
    // The preview question shows the mini player.
    function alertPlayer(tag) {
        return tag === AudioResults.PreviewAlert ? view.screen.miniPlayer : null
    }

    aboveList: [
        // The sort selector slides in while the search field is being edited.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: view.screen.hasSortSelector && view.screen.sortVisible ? 44 : 0
            clip: true
            Behavior on Layout.preferredHeight { NumberAnimation { duration: 500 } }
            TabBar {
                // Folded away: hidden, not just clipped, so that Tab and screen readers pass it by.
                visible: parent.height > 0
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                enabled: view.screen.sortEnabled
                currentIndex: view.screen.sortIndex
                onCurrentIndexChanged: view.screen.sortIndex = currentIndex
                objectName: "sortSelector"
                TabButton { text: qsTr("Популярные") }
                TabButton { text: qsTr("Длина") }
                TabButton { text: qsTr("Название") }
            }
        },
        // The action strip: queue everything, clear the list.
        Flickable {
            id: strip
            Layout.fillWidth: true
            Layout.preferredHeight: 44
            contentWidth: Math.max(width, actions.implicitWidth + 16)
            flickableDirection: Flickable.HorizontalFlick
            clip: true
            onMovementEnded: view.screen.scrollStopped(contentX)
            Row {
                id: actions
                x: 8
                spacing: 8
                Button {
                    objectName: "queueAllButton"
                    text: qsTr("Скачать все")
                    onClicked: view.screen.addAllRecordsToQueue()
                }
                Button {
                    objectName: "clearButton"
                    text: qsTr("Очистить")
                    flat: true
                    onClicked: view.screen.clearRecordsTable()
                }
            }
        }
    ]

    listHeader: Item {
        visible: view.wide
        width: ListView.view.width
        height: view.wide ? 28 : 0
        RowLayout {
            anchors.fill: parent
            // The rows' padding, and the queue button with its spacing on the right.
            anchors.leftMargin: 16
            anchors.rightMargin: 74
            spacing: 10
            Label { Layout.fillWidth: true; Layout.preferredWidth: 3; text: qsTr("Название"); font.pixelSize: 12; color: Material.hintTextColor }
            Label { Layout.fillWidth: true; Layout.preferredWidth: 2; text: qsTr("Исполнитель"); font.pixelSize: 12; color: Material.hintTextColor }
            Label { Layout.preferredWidth: 56; text: qsTr("Время"); font.pixelSize: 12; color: Material.hintTextColor; horizontalAlignment: Text.AlignRight }
        }
    }

    rowDelegate: ItemDelegate {
        id: row
        required property int index
        required property var model
        objectName: "resultRow" + row.index
        width: ListView.view.width
        height: view.wide ? 44 : 60
        Accessible.role: Accessible.ListItem
        Accessible.focusable: true
        Accessible.selectable: true
        Accessible.selected: ListView.isCurrentItem
        Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
        Accessible.name: row.model.title + ", " + row.model.artist + ", " + row.model.duration
        Component.onCompleted: view.screen.cellShown(row.index)
        onClicked: view.activate(row.index)
        // The right button opens the row's menu and nothing else (the row's own click is the left button's).
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.RightButton
            onClicked: (mouse) => view.openRowMenu(row, mouse.x, mouse.y, row.index)
        }
        contentItem: RowLayout {
            spacing: 10
            // Narrow: title over artist. Wide: title, artist and duration in columns.
            ColumnLayout {
                Layout.fillWidth: true
                Layout.preferredWidth: 3
                spacing: 2
                Label {
                    Layout.fillWidth: true
                    text: row.model.title
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.pixelSize: 15
                    font.bold: !view.wide
                }
                Label {
                    Layout.fillWidth: true
                    visible: !view.wide
                    text: row.model.artist
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: Material.secondaryTextColor
                    font.pixelSize: 13
                }
            }
            Label {
                visible: view.wide
                Layout.fillWidth: true
                Layout.preferredWidth: 2
                text: row.model.artist
                textFormat: Text.PlainText
                elide: Text.ElideRight
                color: Material.secondaryTextColor
                font.pixelSize: 14
            }
            Label {
                Layout.preferredWidth: view.wide ? 56 : implicitWidth
                horizontalAlignment: Text.AlignRight
                text: row.model.duration
                textFormat: Text.PlainText
                color: Material.secondaryTextColor
                font.pixelSize: 12
            }
            ToolButton {
                objectName: "queueButton"
                icon.name: "document-save"
                icon.source: "qrc:/icons/download.svg"
                onClicked: view.screen.accessoryButtonTapped(row.index)
                Accessible.name: qsTr("В очередь загрузок")
                ToolTip.visible: hovered
                ToolTip.text: Accessible.name
            }
        }
    }
}
