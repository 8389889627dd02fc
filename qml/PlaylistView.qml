import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The audio player screen: the current track's times and position, the transport and mode buttons, the
// playlist with its edit mode, the playlist menu and the save dialog. The controller (Audio_Playlist) outlives
// the view; the view never destroys it.
Item {
    id: view
    property var controller
    property StackView stack

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onActivated: controller.viewDidAppear()
    StackView.onDeactivating: controller.viewWillDisappear()
    // Another tab taking the window hides the screen as well.
    onVisibleChanged: {
        if (StackView.status !== StackView.Active)
            return
        if (visible) {
            controller.viewWillAppear()
            controller.viewDidAppear()
        } else {
            controller.viewWillDisappear()
        }
    }

    Component {
        id: playlistsPage
        PlaylistsView {}
    }

    Connections {
        target: view.controller
        function onAlertRequested(title, message, buttons, tag) {
            if (tag === 2)
                saveDialog.open()
            else
                alert.ask(title, message, buttons, tag)
        }
        function onScrollToRow(row, animated) {
            table.positionViewAtIndex(row, ListView.Center)
        }
        function onOpenPlaylistsRequested() {
            view.stack.push(playlistsPage, { controller: view.controller.newPlaylistsScreen(), stack: view.stack })
        }
        function onKeyboardDismissed() { nameField.focus = false }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title
            actionText: view.controller.editing ? qsTr("Готово") : qsTr("Изменить")
            onBack: view.stack.pop()
            onAction: view.controller.editPlaylist()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            Layout.topMargin: 6
            spacing: 8
            Label {
                objectName: "audioTimeLabelCurrent"
                text: view.controller.audioTimeLabelCurrent
                font.pixelSize: 13
            }
            Slider {
                id: slider
                objectName: "audioSlider"
                Layout.fillWidth: true
                from: 0
                to: Math.max(view.controller.sliderMaximum, 0)
                onMoved: view.controller.audioSliderMoved(value)
                Behavior on value {
                    enabled: view.controller.sliderAnimated && !slider.pressed
                    NumberAnimation { duration: 300 }
                }
            }
            // The tick moves the slider unless the user holds it.
            Binding {
                target: slider
                property: "value"
                value: view.controller.sliderValue
                when: !slider.pressed
                restoreMode: Binding.RestoreNone
            }
            Label {
                objectName: "audioTimeLabel"
                text: view.controller.audioTimeLabel
                font.pixelSize: 13
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 4
            spacing: 2
            ToolButton {
                objectName: "randomButton"
                text: "⇄"
                font.pixelSize: 20
                // playlist_shuffle_active.png / playlist_shuffle.png
                opacity: view.controller.randomButtonImage.indexOf("_active") >= 0 ? 1.0 : 0.35
                onClicked: view.controller.randomButtonPressed()
            }
            ToolButton {
                objectName: "backwardButton"
                text: "◀◀"
                font.pixelSize: 22
                onClicked: view.controller.backwardButtonPressed()
            }
            ToolButton {
                objectName: "playButton"
                text: "▶"
                font.pixelSize: 22
                onClicked: view.controller.playButtonPressed()
            }
            ToolButton {
                objectName: "pauseButton"
                text: "❚❚"
                font.pixelSize: 22
                onClicked: view.controller.pauseButtonPressed()
            }
            ToolButton {
                objectName: "forwardButton"
                text: "▶▶"
                font.pixelSize: 22
                onClicked: view.controller.forwardButtonPressed()
            }
            ToolButton {
                objectName: "repeatButton"
                text: "↻"
                font.pixelSize: 20
                opacity: view.controller.repeatButtonImage.indexOf("_active") >= 0 ? 1.0 : 0.35
                onClicked: view.controller.repeatButtonPressed()
            }
            ToolButton {
                objectName: "additionButton"
                text: "☰"
                font.pixelSize: 20
                onClicked: view.controller.additionButtonPressed()
            }
        }

        ListView {
            id: table
            objectName: "audioTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.rows
            ScrollBar.vertical: ScrollBar {}
            remove: Transition { NumberAnimation { property: "opacity"; to: 0; duration: 250 } }
            displaced: Transition { NumberAnimation { property: "y"; duration: 200 } }

            delegate: ItemDelegate {
                id: row
                objectName: "playlistRow" + index
                property bool confirming: false
                width: ListView.view.width
                height: 48
                hoverEnabled: false
                // The entry's file is gone: kept in the list, passed over when playing.
                opacity: model.playable ? 1.0 : 0.4
                background: Rectangle {
                    color: model.background
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 1
                        color: "#e0e0e0"
                    }
                }
                onClicked: view.controller.playSound(index)
                onCanceled: row.confirming = false

                contentItem: RowLayout {
                    spacing: 8
                    ToolButton {
                        objectName: "deleteBadge"
                        visible: view.controller.editing
                        text: "⊖"
                        font.pixelSize: 18
                        palette.buttonText: "#d9342b"
                        onClicked: row.confirming = !row.confirming
                    }
                    // icon_audio_active.png / icon_audio.png
                    Label {
                        text: "♪"
                        font.pixelSize: 18
                        color: model.current ? "#4a76a8" : "#9aa5b1"
                    }
                    Label {
                        Layout.fillWidth: true
                        text: model.title
                        elide: Text.ElideRight
                        font.family: "Helvetica"
                        font.pixelSize: 15
                    }
                    Button {
                        objectName: "deleteButton"
                        visible: view.controller.editing && row.confirming
                        text: qsTr("Удалить")
                        palette.button: "#d9342b"
                        palette.buttonText: "white"
                        onClicked: {
                            row.confirming = false
                            view.controller.deleteRow(index)
                        }
                    }
                    ToolButton {
                        objectName: "moveUpButton"
                        visible: view.controller.editing && !row.confirming
                        enabled: index > 0
                        text: "▲"
                        onClicked: view.controller.moveRow(index, index - 1)
                    }
                    ToolButton {
                        objectName: "moveDownButton"
                        visible: view.controller.editing && !row.confirming
                        enabled: index < table.count - 1
                        text: "▼"
                        onClicked: view.controller.moveRow(index, index + 1)
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Плейлист пуст")
                color: "#999999"
            }
        }
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
        onAnswered: (tag, index) => view.controller.alertViewClickedButtonAtIndex(tag, index)
    }

    Dialog {
        id: saveDialog
        objectName: "saveDialog"
        parent: Overlay.overlay
        anchors.centerIn: Overlay.overlay
        width: Math.min(parent ? parent.width - 40 : 320, 320)
        modal: true
        closePolicy: Popup.NoAutoClose
        title: qsTr("Сохранить плейлист как...")
        onOpened: nameField.forceActiveFocus()

        function answer(index) {
            close()
            view.controller.alertViewClickedButtonAtIndex(2, index)
        }

        contentItem: ColumnLayout {
            spacing: 12
            TextField {
                id: nameField
                objectName: "playlistNameField"
                Layout.fillWidth: true
                placeholderText: qsTr("Без названия")
                text: view.controller.playlistNameToSave
                inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
                EnterKey.type: Qt.EnterKeyDone
                rightPadding: clearButton.width + 4
                onTextEdited: view.controller.playlistNameToSave = text
                onAccepted: saveDialog.answer(1)
                background: Rectangle {
                    color: "white"
                    border.color: nameField.activeFocus ? "#4a76a8" : "#b0b0b0"
                    radius: 6
                }
                ToolButton {
                    id: clearButton
                    objectName: "clearFieldButton"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: "✕"
                    font.pixelSize: 12
                    onClicked: {
                        nameField.clear()
                        view.controller.playlistNameToSave = ""
                        nameField.forceActiveFocus()
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                Button {
                    objectName: "saveCancelButton"
                    Layout.fillWidth: true
                    flat: true
                    text: qsTr("Отмена")
                    onClicked: saveDialog.answer(0)
                }
                Button {
                    objectName: "saveButton"
                    Layout.fillWidth: true
                    text: qsTr("Сохранить")
                    onClicked: saveDialog.answer(1)
                }
            }
        }
    }
}
