import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The download queue screen. It draws the controller's rows (`queue.rows`) and hands every button and tap to
// the controller; what a row says, and what its button does, is decided there.
Item {
    id: view

    // The Queue controller (media/Queue.h), made by the window: one per run, so the transfers outlive the view.
    property var queue: null

    property bool loaded: false

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
            objectName: "queueTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.queue ? view.queue.rows : null
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

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

                width: ListView.view.width
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
            implicitHeight: 32
            color: "#eef2f7"
            Label {
                anchors.verticalCenter: parent.verticalCenter
                x: 12
                text: parent.parent.title
                font.bold: true
                color: "#4a76a8"
            }
        }
    }

    Component {
        id: itemRow
        Item {
            id: cell
            readonly property var entry: parent
            implicitHeight: 72

            // A tap starts a waiting or failed item; rows are never highlighted.
            MouseArea {
                anchors.fill: parent
                onClicked: view.queue.rowTapped(cell.entry.section, cell.entry.row)
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 4
                spacing: 10

                Label {
                    objectName: "fileImage"
                    text: cell.entry.icon === "icon_video.png" ? "\u25B6" : "\u266B"
                    font.pixelSize: 22
                    color: "#4a76a8"
                    Layout.preferredWidth: 24
                    horizontalAlignment: Text.AlignHCenter
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 3
                    Label {
                        objectName: "fileName"
                        Layout.fillWidth: true
                        text: cell.entry.name
                        elide: Text.ElideRight
                        font.bold: true
                    }
                    Label {
                        objectName: "fileStatus"
                        Layout.fillWidth: true
                        text: cell.entry.status
                        elide: Text.ElideRight
                        font.pixelSize: 12
                        color: "#666666"
                    }
                    ProgressBar {
                        objectName: "fileProgress"
                        Layout.fillWidth: true
                        from: 0
                        to: 1
                        value: cell.entry.progress
                    }
                }
                ToolButton {
                    objectName: "removeButton"
                    text: "\u2715"
                    enabled: cell.entry.removable
                    onClicked: view.queue.removeButton(cell.entry.tag)
                }
            }

            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: "#e3e3e3"
            }
        }
    }

    AlertDialog {
        id: alert
        objectName: "alert"
        parent: Overlay.overlay
    }
}
