import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts

// The download queue screen. It draws the controller's rows (`queue.rows`) and hands every button and tap to
// the controller; what a row says, and what its button does, is decided there.
Item {
    id: view

    // The Queue controller (media/Queue.h), made by the window: one per run, so the transfers outlive the view.
    property var queue: null

    property bool loaded: false
    readonly property bool wide: width >= 640

    function rowActions(entry) {
        return [{ id: "start", text: qsTr("Начать загрузку"), icon: "download", enabled: entry.status.length > 0,
                  run: () => view.queue.rowTapped(entry.section, entry.row) },
                { id: "remove", text: qsTr("Убрать из очереди"), icon: "delete", enabled: entry.removable,
                  run: () => view.queue.removeButton(entry.tag) },
                { id: "showInFolder", text: qsTr("Показать в папке"), icon: "folder", enabled: true,
                  run: () => view.queue.showInFolder(entry.tag) }]
    }
    // The row under the keyboard, unless it is a section's header.
    function isTransfer(item) {
        return item !== null && item.kind !== "header"
    }
    function removeCurrent() {
        view.remove(table.currentItem)
    }
    function remove(item) {
        if (view.isTransfer(item) && item.removable)
            view.queue.removeButton(item.tag)
    }
    function activate(item) {
        if (view.isTransfer(item))
            view.queue.rowTapped(item.section, item.row)
    }
    function openMenu(item) {
        if (view.isTransfer(item))
            rowMenu.openFor(item, 24, item.height / 2, view.rowActions(item))
    }

    function appear() {
        if (!queue)
            return
        queue.viewWillAppear()
        queue.viewDidAppear()
    }
    function attach() {
        if (!queue || loaded)
            return
        loaded = true
        queue.viewDidLoad()
        if (view.visible)
            appear()
    }
    Component.onCompleted: attach()
    onQueueChanged: attach()
    onVisibleChanged: {
        if (!queue || !loaded)
            return
        if (visible)
            appear()
        else
            queue.viewWillDisappear()
    }

    Connections {
        target: view.queue
        function onAlertRequested(title, message, buttons, tag) {
            alert.ask(title, message, buttons, tag)
        }
        function onScrollToRowRequested(section, row) {
            const index = view.queue.rows.indexOf(section, row)
            if (index < 0)
                return
            // positionViewAtIndex jumps; find where it would go and glide there instead.
            const from = table.contentY
            table.positionViewAtIndex(index, ListView.Center)
            const to = table.contentY
            table.contentY = from
            scroll.to = to
            scroll.restart()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ListView {
            id: table
            Accessible.role: Accessible.List
            objectName: "queueTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.queue ? view.queue.rows : null
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            highlight: Rectangle { color: table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }
            Keys.onDeletePressed: view.removeCurrent()
            Keys.onReturnPressed: view.activate(currentItem)
            Keys.onMenuPressed: view.openMenu(currentItem)
            // Shift+F10 opens the row's menu too, as on keyboards without a Menu key.
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                    event.accepted = true
                    view.openMenu(currentItem)
                }
            }

            // Rows hold still from press to release.
            PointHandler {
                id: holder
                acceptedButtons: Qt.LeftButton | Qt.RightButton
                onActiveChanged: if (view.queue) view.queue.setPointerHeld(active)
            }

            NumberAnimation {
                id: scroll
                target: table
                property: "contentY"
                duration: 250
                easing.type: Easing.InOutQuad
            }

            delegate: Loader {
                required property string kind
                required property string title
                required property string name
                required property string status
                required property real progress
                required property string icon
                required property int section
                required property int row
                required property int tag
                required property bool removable
                required property string detail

                width: ListView.view.width
                Accessible.role: kind === "header" ? Accessible.Heading : Accessible.ListItem
                Accessible.name: kind === "header" ? title : name + ", " + status
                sourceComponent: kind === "header" ? headerRow : itemRow
            }
        }

        // The button strip.
        Pane {
            Layout.fillWidth: true
            padding: 8
            RowLayout {
                anchors.fill: parent
                spacing: 8
                Button {
                    objectName: "startAllButton"
                    Layout.fillWidth: true
                    text: qsTr("Начать все")
                    onClicked: view.queue.startAll()
                }
                Button {
                    objectName: "clearInactiveButton"
                    Layout.fillWidth: true
                    text: qsTr("Убрать ожидающие")
                    onClicked: view.queue.clearInactive()
                }
                Button {
                    objectName: "trafficButton"
                    Layout.fillWidth: true
                    text: qsTr("Трафик")
                    onClicked: view.queue.trafficButtonPressed()
                }
            }
        }
    }

    Component {
        id: headerRow
        Rectangle {
            id: headerCell
            readonly property var entry: parent
            implicitHeight: 32
            color: Qt.alpha(Material.accentColor, 0.12)
            Label {
                anchors.verticalCenter: parent.verticalCenter
                x: 12
                text: headerCell.entry.title
                textFormat: Text.PlainText
                font.bold: true
                color: Material.accentColor
            }
        }
    }

    Component {
        id: itemRow
        Item {
            id: cell
            readonly property var entry: parent
            // A long status (a failure's text) wraps and makes the row taller.
            implicitHeight: Math.max(view.wide ? 52 : 72, rowLayout.implicitHeight + 12)

            // A tap starts a waiting or failed item; rows are never highlighted.
            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton | Qt.RightButton
                onClicked: (mouse) => {
                    table.currentIndex = view.queue.rows.indexOf(cell.entry.section, cell.entry.row)
                    if (mouse.button === Qt.RightButton)
                        rowMenu.openFor(cell, mouse.x, mouse.y, view.rowActions(cell.entry))
                    else
                        view.queue.rowTapped(cell.entry.section, cell.entry.row)
                }
            }

            // A failure's own description, on hover; a plain status is already drawn whole.
            HoverHandler { id: rowHover }
            ToolTip.visible: rowHover.hovered && cell.entry.detail.length > 0 && cell.entry.detail !== cell.entry.status
            ToolTip.delay: 500
            ToolTip.text: cell.entry.detail

            RowLayout {
                id: rowLayout
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 4
                spacing: 10

                Icon {
                    objectName: "fileImage"
                    glyph: cell.entry.icon === "icon_video.png" ? "video" : "audio"
                    color: Material.accentColor
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.preferredWidth: 6
                    spacing: 3
                    Label {
                        objectName: "fileName"
                        Layout.fillWidth: true
                        text: cell.entry.name
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.bold: true
                    }
                    Label {
                        objectName: "fileStatusNarrow"
                        visible: !view.wide
                        Layout.fillWidth: true
                        text: cell.entry.status
                        textFormat: Text.PlainText
                        wrapMode: Text.Wrap
                        font.pixelSize: 12
                        color: Material.secondaryTextColor
                    }
                    ProgressBar {
                        visible: !view.wide
                        Layout.fillWidth: true
                        from: 0
                        to: 1
                        value: cell.entry.progress
                    }
                }
                // Wide: the bar and the state in columns of their own.
                ProgressBar {
                    objectName: "fileProgress"
                    visible: view.wide
                    Layout.fillWidth: true
                    Layout.preferredWidth: 3
                    from: 0
                    to: 1
                    value: cell.entry.progress
                }
                Label {
                    objectName: "fileStatus"
                    visible: view.wide
                    Layout.fillWidth: true
                    Layout.preferredWidth: 5
                    text: cell.entry.status
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: 12
                    color: Material.secondaryTextColor
                }
                ToolButton {
                    objectName: "removeButton"
                    icon.name: "window-close"
                    icon.source: "qrc:/icons/close.svg"
                    enabled: cell.entry.removable
                    onClicked: view.queue.removeButton(cell.entry.tag)
                    Accessible.name: qsTr("Убрать из очереди")
                    ToolTip.visible: hovered
                    ToolTip.text: Accessible.name
                }
            }

            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: Material.dividerColor
            }
        }
    }

    RowMenu { id: rowMenu; objectName: "rowMenu" }

    AlertDialog {
        id: alert
        objectName: "alert"
        parent: Overlay.overlay
    }
}
