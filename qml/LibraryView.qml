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

    readonly property bool audio: controller ? controller.audio : true
    // Wide pages show the name and the size in columns.
    readonly property bool wide: width >= 640

    // The field Ctrl+F goes to (the window looks for a page's searchField).
    property alias searchField: filterField
    // Opening the library puts the keys on its rows: Delete, Enter and Escape mean what they mean in a file list.
    readonly property Item firstControl: table
    // The row whose delete button is uncovered; Escape or a click elsewhere covers it again.
    property var openSwipeRow: null
    function closeSwipe() {
        if (openSwipeRow)
            openSwipeRow.swipe.close()
        openSwipeRow = null
    }
    // Only a file of the library's own kind plays in the main player (a link named .mp3 to a folder does not).
    function playable(row) {
        return view.audio && !row.folder && row.path.toLowerCase().endsWith(".mp3")
    }

    // The actions of a row, for its context menu.
    function rowActions(item) {
        const path = item.path
        const list = [{ id: "play", text: view.audio ? qsTr("Прослушать") : qsTr("Смотреть"), icon: "play",
                        run: () => view.controller.activatePath(path) }]
        // What a double-click does, for those who look for it in the menu.
        if (view.playable(item))
            list.push({ id: "playInPlayer", text: qsTr("Играть в плеере"), icon: "play",
                        run: () => view.controller.playPath(path) })
        if (view.audio)
            list.push({ id: "append", text: qsTr("Добавить в плейлист"), icon: "add",
                        run: () => view.controller.appendPath(path) })
        list.push({ id: "delete", text: qsTr("Удалить"), icon: "delete", run: () => view.controller.askToDelete([path]) })
        return list
    }
    function deleteCurrent() {
        if (table.currentItem)
            view.deleteRow(table.currentItem)
    }
    function deleteRow(row) {
        view.controller.askToDelete([row.path])
    }
    function enterCurrent() {
        if (table.currentItem)
            view.enterRow(table.currentItem)
    }
    function enterRow(row) {
        if (view.playable(row))
            view.controller.playPath(row.path)
        else
            view.controller.activatePath(row.path)
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
            alert.player = view.audio && tag === Audio_Library.PreviewAlert ? view.controller.miniPlayer : null
            alert.ask(title, message, buttons, tag)
        }
        function onScrollToRow(row, position, animated) {
            // Rows of the folder listing; the whole-library list has its own.
            const shown = view.controller.wholeLibrary ? -1 : view.controller.rows.rowOf(row)
            if (shown >= 0)
                table.positionViewAtIndex(shown, position === LibraryBrowser.Top ? ListView.Beginning : ListView.Center)
        }
        function onSlideRequested(from) {
            table.slideFrom(from)
        }
        function onVideoPlayerRequested(fileName, refererType) {
            const player = videoPlayerScreen.createObject(null, { fileName: fileName, refererType: refererType })
            // The window shows it over everything, sidebar and bars included.
            const window = view.ApplicationWindow.window as Main
            if (window)
                window.openVideoPlayer(player)
            else
                player.destroy()
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

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 8
            Layout.rightMargin: 8
            spacing: 8
            PlainTextField {
                id: filterField
                objectName: "libraryFilter"
                Layout.fillWidth: true
                hint: view.wide ? qsTr("Фильтр: название, исполнитель, альбом") : qsTr("Фильтр")
                selectByMouse: true
                onTextChanged: view.controller.rows.filterText = text
                Keys.onEscapePressed: (event) => {
                    if (text.length > 0) {
                        text = ""
                        event.accepted = true
                    } else {
                        event.accepted = false
                    }
                }
                Keys.onDownPressed: table.forceActiveFocus()
            }
            Switch {
                objectName: "wholeLibrarySwitch"
                text: qsTr("Вся медиатека")
                checked: view.controller.wholeLibrary
                onToggled: view.controller.wholeLibrary = checked
            }
        }

        FolderList {
            id: table
            objectName: view.audio ? "audioTable" : "videoTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: view.controller.rows

            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            Keys.onDeletePressed: view.deleteCurrent()
            Keys.onReturnPressed: view.enterCurrent()
            Keys.onEnterPressed: view.enterCurrent()
            Keys.onEscapePressed: (event) => {
                event.accepted = view.openSwipeRow !== null
                view.closeSwipe()
            }
            // While a delete button is uncovered, Escape covers it rather than going back a screen.
            Keys.onShortcutOverride: (event) => {
                event.accepted = event.key === Qt.Key_Escape && view.openSwipeRow !== null
            }
            Keys.onMenuPressed: if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentItem))
            onContentYChanged: view.closeSwipe()
            // Shift+F10 opens the row's menu too, as on keyboards without a Menu key.
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                    event.accepted = true
                    if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentItem))
                }
            }
            highlight: Rectangle { color: table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }

            // A click on a column's name sorts by it; a second click turns the order round.
            component ColumnHeader: Label {
                property int column
                readonly property bool sorted: view.controller.rows.sortColumn === column
                text: sorted ? label + (view.controller.rows.descending ? " ▼" : " ▲") : label
                property string label
                textFormat: Text.PlainText
                font.pixelSize: 12
                font.bold: sorted
                color: sorted ? Material.foreground : Material.hintTextColor
                elide: Text.ElideRight
                Accessible.role: Accessible.ColumnHeader
                Accessible.name: label
                TapHandler { onTapped: view.controller.rows.sortBy(parent.column) }
            }
            header: Rectangle {
                visible: view.wide
                width: ListView.view.width
                height: view.wide ? 28 : 0
                z: 2
                color: Material.background
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 72
                    anchors.rightMargin: view.audio ? 132 : 74
                    spacing: 10
                    ColumnHeader { objectName: "columnTitle"; Layout.fillWidth: true; Layout.preferredWidth: 3; column: 0; label: qsTr("Название") }
                    ColumnHeader { objectName: "columnArtist"; Layout.fillWidth: true; Layout.preferredWidth: 2; column: 1; label: qsTr("Исполнитель") }
                    ColumnHeader { objectName: "columnAlbum"; Layout.fillWidth: true; Layout.preferredWidth: 2; column: 2; label: qsTr("Альбом") }
                    ColumnHeader { objectName: "columnDuration"; Layout.preferredWidth: 56; column: 3; label: qsTr("Время") }
                    Label { Layout.preferredWidth: 90; text: qsTr("Размер"); font.pixelSize: 12; color: Material.hintTextColor }
                }
            }
            headerPositioning: ListView.OverlayHeader

            delegate: SwipeDelegate {
                id: row
                required property int index
                required property var model
                objectName: "libraryRow" + row.index
                // What the view's functions and tests read from a row.
                readonly property string path: row.model.path
                readonly property bool folder: row.model.folder
                readonly property string shownTitle: row.model.title.length > 0 ? row.model.title : row.model.name
                width: ListView.view.width
                height: view.wide ? 44 : 56
                highlighted: false
                Accessible.role: Accessible.ListItem
                Accessible.focusable: true
                Accessible.selectable: true
                Accessible.selected: ListView.isCurrentItem
                Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
                Accessible.name: shownTitle + (row.model.artist.length > 0 ? ", " + row.model.artist : "")
                                 + (row.model.detail.length > 0 ? ", " + row.model.detail : "")
                // One click previews a file, two play it: the preview waits to see whether a second click comes.
                Timer {
                    id: singleClick
                    interval: Qt.styleHints.mouseDoubleClickInterval
                    onTriggered: view.controller.activatePath(row.path)
                }
                onPressed: if (view.openSwipeRow && view.openSwipeRow !== row) view.closeSwipe()
                onClicked: {
                    swipe.close()
                    table.currentIndex = row.index
                    table.forceActiveFocus()
                    if (view.playable(row))
                        singleClick.restart()
                    else
                        view.controller.activatePath(row.path)
                }
                onDoubleClicked: {
                    if (!view.playable(row))
                        return
                    singleClick.stop()
                    view.controller.playPath(row.path)
                }
                swipe.onOpened: view.openSwipeRow = row
                swipe.onClosed: if (view.openSwipeRow === row) view.openSwipeRow = null
                // The right button opens the row's menu and nothing else (the row's own click is the left button's).
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: (mouse) => {
                        table.currentIndex = row.index
                        table.forceActiveFocus()
                        rowMenu.openFor(row, mouse.x, mouse.y, view.rowActions(row))
                    }
                }

                contentItem: RowLayout {
                    spacing: 10
                    // Rows already in the playlist carry a mark at their left edge.
                    Rectangle {
                        objectName: "inPlaylistMark"
                        visible: row.model.inPlaylist
                        Layout.preferredWidth: 4
                        Layout.preferredHeight: 24
                        radius: 2
                        color: Material.accentColor
                        Accessible.name: qsTr("В плейлисте")
                    }
                    Item {
                        Layout.preferredWidth: 32
                        Layout.preferredHeight: 32
                        Layout.leftMargin: row.model.inPlaylist ? 0 : 14
                        EntryIcon {
                            anchors.centerIn: parent
                            visible: cover.status !== Image.Ready
                            folder: row.model.folder
                            audio: view.audio
                        }
                        Image {
                            id: cover
                            objectName: "rowCover"
                            anchors.fill: parent
                            visible: status === Image.Ready
                            source: row.model.cover.length > 0 ? "file://" + row.model.cover : ""
                            sourceSize.width: 64
                            sourceSize.height: 64
                            fillMode: Image.PreserveAspectCrop
                            asynchronous: true
                            cache: true
                        }
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        Layout.preferredWidth: 3
                        spacing: 2
                        Label {
                            objectName: "rowTitle"
                            Layout.fillWidth: true
                            text: row.shownTitle
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.weight: row.model.inPlaylist ? Font.DemiBold : Font.Normal
                        }
                        Label {
                            Layout.fillWidth: true
                            visible: !view.wide && text.length > 0
                            text: row.model.artist.length > 0 && row.model.detail.length > 0 ? row.model.artist + " · " + row.model.detail
                                                                                      : row.model.artist + row.model.detail
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            color: Material.secondaryTextColor
                            font.pixelSize: Math.round(row.font.pixelSize * 0.85)
                        }
                    }
                    Label {
                        objectName: "rowArtist"
                        visible: view.wide
                        Layout.fillWidth: true
                        Layout.preferredWidth: 2
                        text: row.model.artist
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: Material.secondaryTextColor
                    }
                    Label {
                        objectName: "rowAlbum"
                        visible: view.wide
                        Layout.fillWidth: true
                        Layout.preferredWidth: 2
                        text: row.model.album
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: Material.secondaryTextColor
                    }
                    Label {
                        objectName: "rowDuration"
                        visible: view.wide
                        Layout.preferredWidth: 56
                        text: row.model.duration
                        textFormat: Text.PlainText
                        color: Material.secondaryTextColor
                    }
                    Label {
                        visible: view.wide
                        Layout.preferredWidth: 90
                        // Whole-library rows name their folder here; the folder's own rows their size.
                        text: row.model.detail.replace(/^Размер:\s*/, "").replace(/^Size:\s*/, "")
                        textFormat: Text.PlainText
                        elide: Text.ElideMiddle
                        color: Material.secondaryTextColor
                    }
                    ToolButton {
                        objectName: "appendButton"
                        // Kept in place without an append action, so that the columns line up.
                        visible: view.audio
                        opacity: row.model.accessory ? 1 : 0
                        enabled: row.model.accessory
                        Accessible.ignored: !row.model.accessory
                        icon.name: "list-add"
                        icon.source: "qrc:/icons/add.svg"
                        onClicked: view.controller.appendPath(row.path)
                        Accessible.name: qsTr("Добавить в плейлист")
                        ToolTip.visible: hovered
                        ToolTip.text: Accessible.name
                    }
                    // Deleting takes two taps: this one uncovers the delete button.
                    ToolButton {
                        objectName: "deleteToggle"
                        icon.name: "edit-delete"
                        icon.source: "qrc:/icons/delete.svg"
                        onClicked: {
                            if (row.swipe.position < 0) {
                                row.swipe.close()
                            } else {
                                view.closeSwipe()
                                row.swipe.open(SwipeDelegate.Right)
                            }
                            table.forceActiveFocus()
                        }
                        Accessible.name: row.model.deleteTitle
                        ToolTip.visible: hovered
                        ToolTip.text: Accessible.name
                    }
                    Icon {
                        visible: row.model.folder
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
                        text: row.model.deleteTitle
                        textFormat: Text.PlainText
                        color: "white"
                    }
                    MouseArea {
                        id: deleteArea
                        objectName: "deleteButton"
                        anchors.fill: parent
                        Accessible.role: Accessible.Button
                        Accessible.name: row.model.deleteTitle
                        onClicked: {
                            row.swipe.close()
                            view.controller.deletePaths([row.path])
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

    // A click anywhere off the uncovered delete button covers it again.
    TapHandler {
        enabled: view.openSwipeRow !== null
        gesturePolicy: TapHandler.ReleaseWithinBounds
        grabPermissions: PointerHandler.ApprovesTakeOverByAnything
        onPressedChanged: if (pressed) view.closeSwipe()
    }

    // After a deletion to the trash: the notice and its undo.
    Rectangle {
        objectName: "undoNotice"
        visible: view.controller.undoNotice.length > 0
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        width: Math.min(parent.width - 32, undoRow.implicitWidth + 32)
        height: undoRow.implicitHeight + 16
        radius: 6
        color: Material.theme === Material.Dark ? "#3a3a3c" : "#323232"
        RowLayout {
            id: undoRow
            anchors.centerIn: parent
            width: parent.width - 32
            spacing: 12
            Label {
                Layout.fillWidth: true
                text: view.controller.undoNotice
                textFormat: Text.PlainText
                elide: Text.ElideMiddle
                color: "white"
            }
            Button {
                objectName: "undoButton"
                text: qsTr("Отменить")
                flat: true
                Material.foreground: Material.color(Material.Amber)
                onClicked: view.controller.undoDelete()
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
        onAnswered: (tag, index) => {
            if (tag === LibraryBrowser.DeleteAlert)
                view.controller.deleteAnswered(index)
            else
                view.controller.alertAnswered(tag, index)
            // Delete and Enter keep working on the row chosen before the question.
            table.forceActiveFocus()
        }
    }
}
