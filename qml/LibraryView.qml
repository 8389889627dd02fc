import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrop

// The audio or video library (Audio_Library / Video_Library): folders and media files of the current folder,
// the title with the sizes, preview, appending to the playlist, deleting, clearing everything.
Item {
    id: view
    property var controller
    property StackView stack

    // A folder, a note or a film frame, drawn so that no icon font is needed.
    component EntryIcon: Item {
        property bool folder
        property bool audio
        implicitWidth: 28
        implicitHeight: 24
        Rectangle {
            visible: parent.folder
            x: 2; y: 3; width: 11; height: 5; radius: 1
            color: "#e0b040"
        }
        Rectangle {
            visible: parent.folder
            x: 2; y: 6; width: 24; height: 16; radius: 2
            color: "#f0c850"
        }
        Rectangle {
            visible: !parent.folder
            anchors.centerIn: parent
            width: 22; height: 22; radius: 4
            color: parent.audio ? "#4a76a8" : "#5b8a3c"
            Text {
                anchors.centerIn: parent
                text: parent.parent.audio ? "♪" : "▶"
                color: "white"
                font.pixelSize: 13
            }
        }
    }

    readonly property bool audio: controller ? controller.audio : true

    // The controller belongs to whoever opened the view (one per tab), so that the folder is kept between visits.
    StackView.onActivating: controller.viewWillAppear()
    // The screen was made for this opening and goes with it.
    StackView.onRemoved: controller.destroy()

    Component { id: videoPlayerScreen; Video_Player {} }
    Component { id: videoPlayerView; VideoPlayerView {} }

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
            view.stack.push(videoPlayerView, { controller: player, stack: view.stack })
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title
            actionText: "⟳"
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

            delegate: SwipeDelegate {
                id: row
                width: ListView.view.width
                height: 56
                highlighted: false
                onClicked: {
                    swipe.close()
                    view.controller.rowSelected(index)
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
                            elide: Text.ElideMiddle
                            font.family: "Helvetica"
                            font.pixelSize: 15
                        }
                        Label {
                            Layout.fillWidth: true
                            visible: text.length > 0
                            text: model.detail
                            color: "#666666"
                            font.family: "Helvetica"
                            font.pixelSize: 12
                        }
                    }
                    ToolButton {
                        objectName: "appendButton"
                        visible: model.accessory
                        text: "+"
                        font.pixelSize: 20
                        onClicked: view.controller.accessoryButtonTapped(index)
                    }
                    // Deleting takes two taps: this one uncovers the delete button.
                    ToolButton {
                        objectName: "deleteToggle"
                        text: "✕"
                        onClicked: row.swipe.position < 0 ? row.swipe.close() : row.swipe.open(SwipeDelegate.Right)
                    }
                    Label {
                        visible: model.folder
                        text: "›"
                        font.pixelSize: 22
                        color: "#999999"
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
                        color: "white"
                    }
                    MouseArea {
                        id: deleteArea
                        objectName: "deleteButton"
                        anchors.fill: parent
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
                color: "#999999"
            }
        }
    }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.audio ? view.controller.hud : null
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
        onAnswered: (tag, index) => view.controller.alertViewClickedButtonAtIndex(tag, index)
    }
}
