import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The audio or video library (Audio_Library / Video_Library): folders and media files of the current folder,
// the title with the sizes, preview, appending to the playlist, deleting, clearing everything.
Item {
    id: view
    property var controller
    property StackView stack

    // A folder, a note or a film frame.
    component EntryIcon: Icon {
        property bool folder
        property bool audio
        glyph: folder ? "folder" : (audio ? "audio" : "video")
        color: folder ? "#d9a030" : Material.accentColor
    }

    readonly property bool audio: controller ? controller.audio : true
    // Wide pages show the name and the size in columns.
    readonly property bool wide: width >= 640

    // The actions of a row, for its context menu.
    function rowActions(index) {
        const list = [{ id: "play", text: view.audio ? qsTr("Прослушать") : qsTr("Смотреть"), icon: "play",
                        run: () => view.controller.rowSelected(index) }]
        if (view.audio)
            list.push({ id: "append", text: qsTr("Добавить в плейлист"), icon: "add",
                        run: () => view.controller.accessoryButtonTapped(index) })
        list.push({ id: "delete", text: qsTr("Удалить"), icon: "delete", run: () => view.controller.deleteRow(index) })
        return list
    }
    function deleteCurrent() {
        if (table.currentIndex >= 0 && table.currentIndex < table.count)
            view.controller.deleteRow(table.currentIndex)
    }

    // The controller belongs to whoever opened the view (one per tab), so that the folder is kept between visits.
    StackView.onActivating: controller.viewWillAppear()
    // The screen was made for this opening and goes with it.
    StackView.onRemoved: controller.destroy()

    Component { id: videoPlayerScreen; Video_Player {} }

    Connections {
        target: view.controller
        ignoreUnknownSignals: true
        function onAlertRequested(title, message, buttons, tag) {
            alert.player = view.audio && tag === 1 ? view.controller.miniPlayer : null
            alert.ask(title, message, buttons, tag)
        }
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === 0 ? ListView.Beginning : ListView.Center)
        }
        function onSlideRequested(from) {
            slideIn.from = from * 50
            slideIn.restart()
        }
        function onVideoPlayerRequested(fileName, refererType) {
            const player = videoPlayerScreen.createObject(null, { fileName: fileName, refererType: refererType })
            // The window shows it over everything, sidebar and bars included.
            view.ApplicationWindow.window.openVideoPlayer(player)
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title
            actionIcon: "refresh"
            actionName: qsTr("Обновить")
            // Inside a sub-folder the left button goes one folder up; at the top it leaves the screen.
            onBack: view.controller.backButtonVisible ? view.controller.toParentFolder() : view.stack.pop()
            onAction: view.controller.reloadLibrary()
        }

        Flickable {
            Layout.fillWidth: true
            Layout.preferredHeight: 44
            contentWidth: Math.max(width, actions.implicitWidth + 16)
            flickableDirection: Flickable.HorizontalFlick
            clip: true
            Row {
                id: actions
                x: 8
                spacing: 8
                Button {
                    objectName: "addAllButton"
                    visible: view.audio
                    text: qsTr("Добавить все")
                    onClicked: view.controller.addAllRecordsToPlaylist()
                }
                Button {
                    objectName: "clearMediaButton"
                    text: qsTr("Очистить все")
                    flat: true
                    onClicked: view.controller.clearMedia()
                }
            }
        }

        ListView {
            id: table
            Accessible.role: Accessible.List
            objectName: view.audio ? "audioTable" : "videoTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.entries
            ScrollBar.vertical: ScrollBar {}

            // The folder change animation: the table slides back into place and fades in.
            transform: Translate { id: shift }
            ParallelAnimation {
                id: slideIn
                property real from: 0
                NumberAnimation { target: shift; property: "x"; from: slideIn.from; to: 0; duration: 500 }
                NumberAnimation { target: table; property: "opacity"; from: 0; to: 1; duration: 500 }
            }

            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            Keys.onDeletePressed: view.deleteCurrent()
            Keys.onReturnPressed: if (currentIndex >= 0) view.controller.rowSelected(currentIndex)
            Keys.onMenuPressed: if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
            // Shift+F10 opens the row's menu too, as on keyboards without a Menu key.
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                    event.accepted = true
                    if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
                }
            }
            highlight: Rectangle { color: table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }

            header: Rectangle {
                visible: view.wide
                width: ListView.view.width
                height: view.wide ? 28 : 0
                color: "transparent"
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 52
                    anchors.rightMargin: view.audio ? 132 : 74
                    Label { Layout.fillWidth: true; text: qsTr("Название"); font.pixelSize: 12; color: Material.hintTextColor }
                    Label { Layout.preferredWidth: 120; text: qsTr("Размер"); font.pixelSize: 12; color: Material.hintTextColor }
                }
            }

            delegate: SwipeDelegate {
                id: row
                objectName: "libraryRow" + index
                width: ListView.view.width
                height: view.wide ? 44 : 56
                highlighted: false
                Accessible.role: Accessible.ListItem
                Accessible.focusable: true
                Accessible.selectable: true
                Accessible.selected: ListView.isCurrentItem
                Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
                Accessible.name: model.name + (model.detail.length > 0 ? ", " + model.detail : "")
                onClicked: {
                    swipe.close()
                    table.currentIndex = index
                    view.controller.rowSelected(index)
                }
                // The right button opens the row's menu and nothing else (the row's own click is the left button's).
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: (mouse) => {
                        table.currentIndex = index
                        rowMenu.openFor(row, mouse.x, mouse.y, view.rowActions(index))
                    }
                }

                contentItem: RowLayout {
                    spacing: 10
                    EntryIcon {
                        folder: model.folder
                        audio: view.audio
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            Layout.fillWidth: true
                            text: model.name
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.family: "Helvetica"
                            font.pixelSize: 15
                        }
                        Label {
                            Layout.fillWidth: true
                            visible: !view.wide && text.length > 0
                            text: model.detail
                            textFormat: Text.PlainText
                            color: Material.secondaryTextColor
                            font.family: "Helvetica"
                            font.pixelSize: 12
                        }
                    }
                    Label {
                        visible: view.wide
                        Layout.preferredWidth: 120
                        text: model.detail.replace(/^[^:]*:\s*/, "")
                        textFormat: Text.PlainText
                        color: Material.secondaryTextColor
                        font.pixelSize: 13
                    }
                    ToolButton {
                        objectName: "appendButton"
                        // Kept in place without an append action, so that the columns line up.
                        visible: view.audio
                        opacity: model.accessory ? 1 : 0
                        enabled: model.accessory
                        Accessible.ignored: !model.accessory
                        icon.name: "list-add"
                        icon.source: "qrc:/icons/add.svg"
                        onClicked: view.controller.accessoryButtonTapped(index)
                        Accessible.name: qsTr("Добавить в плейлист")
                        ToolTip.visible: hovered
                        ToolTip.text: Accessible.name
                    }
                    // Deleting takes two taps: this one uncovers the delete button.
                    ToolButton {
                        objectName: "deleteToggle"
                        icon.name: "edit-delete"
                        icon.source: "qrc:/icons/delete.svg"
                        onClicked: row.swipe.position < 0 ? row.swipe.close() : row.swipe.open(SwipeDelegate.Right)
                        Accessible.name: model.deleteTitle
                        ToolTip.visible: hovered
                        ToolTip.text: Accessible.name
                    }
                    Icon {
                        visible: model.folder
                        glyph: "chevron"
                        color: Material.hintTextColor
                    }
                }

                swipe.right: Rectangle {
                    width: deleteLabel.implicitWidth + 32
                    height: parent.height
                    anchors.right: parent.right
                    color: deleteArea.pressed ? "#b83232" : "#e64646"
                    Label {
                        id: deleteLabel
                        anchors.centerIn: parent
                        text: model.deleteTitle
                        textFormat: Text.PlainText
                        color: "white"
                    }
                    MouseArea {
                        id: deleteArea
                        objectName: "deleteButton"
                        anchors.fill: parent
                        Accessible.role: Accessible.Button
                        Accessible.name: model.deleteTitle
                        onClicked: {
                            row.swipe.close()
                            view.controller.deleteRow(index)
                        }
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет файлов")
                color: Material.hintTextColor
            }
        }
    }

    RowMenu { id: rowMenu; objectName: "rowMenu" }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.audio ? view.controller.hud : null
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
        onAnswered: (tag, index) => view.controller.alertAnswered(tag, index)
    }
}
