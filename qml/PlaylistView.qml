import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The audio player screen: the current track's times and position, the transport and mode buttons, the
// playlist with its edit mode, the playlist menu and the save dialog. Each opening gets a controller of its own
// (Audio_Playlist.newScreen(), over the one music player), which goes with the view.
Item {
    id: view
    property var controller
    property StackView stack
    // The track drawn above the transport (the now-playing object: title, artist, album, coverUrl); none hides it.
    property var track: null
    // The window's now-playing bar stands aside for this screen on narrow windows: it has the same controls.

    function rowActions(index) {
        return [{ id: "play", text: qsTr("Играть"), icon: "play", run: () => view.controller.playSound(index) },
                { id: "up", text: qsTr("Переместить выше"), icon: "up", enabled: index > 0,
                  run: () => view.controller.moveRow(index, index - 1) },
                { id: "down", text: qsTr("Переместить ниже"), icon: "down", enabled: index < table.count - 1,
                  run: () => view.controller.moveRow(index, index + 1) },
                { id: "remove", text: qsTr("Убрать из плейлиста"), icon: "delete", run: () => view.controller.deleteRow(index) }]
    }

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onActivated: controller.viewDidAppear()
    StackView.onDeactivating: controller.viewWillDisappear()
    StackView.onRemoved: controller.destroy()
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
            if (tag === Audio_Playlist.SaveAlert)
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

        // The current track: its cover (a placeholder without one), title, artist and album.
        RowLayout {
            objectName: "playerTrack"
            visible: view.track !== null && view.track.hasTrack
            Layout.fillWidth: true
            Layout.maximumWidth: 760
            Layout.alignment: Qt.AlignHCenter
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            Layout.topMargin: 10
            spacing: 12
            Rectangle {
                Layout.preferredWidth: 96
                Layout.preferredHeight: 96
                radius: 8
                color: Material.accentColor
                clip: true
                Icon {
                    anchors.centerIn: parent
                    visible: playerCover.status !== Image.Ready
                    glyph: "audio"
                    color: "white"
                    sourceSize.width: 40
                    sourceSize.height: 40
                }
                Image {
                    id: playerCover
                    objectName: "playerCover"
                    anchors.fill: parent
                    source: view.track ? view.track.coverUrl : ""
                    sourceSize.width: 192
                    sourceSize.height: 192
                    fillMode: Image.PreserveAspectCrop
                    asynchronous: true
                    visible: status === Image.Ready
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Label {
                    objectName: "playerTrackTitle"
                    Layout.fillWidth: true
                    text: view.track ? view.track.title : ""
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.bold: true
                    font.pixelSize: 17
                }
                Label {
                    Layout.fillWidth: true
                    visible: text.length > 0
                    text: view.track ? view.track.artist : ""
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                }
                Label {
                    objectName: "playerTrackAlbum"
                    Layout.fillWidth: true
                    visible: text.length > 0
                    text: view.track ? view.track.album : ""
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: Material.secondaryTextColor
                }
            }
        }

        // The position bar stays a comfortable length in a wide window.
        RowLayout {
            Layout.fillWidth: true
            Layout.maximumWidth: 760
            Layout.alignment: Qt.AlignHCenter
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            Layout.topMargin: 6
            spacing: 8
            Label {
                objectName: "audioTimeLabelCurrent"
                text: view.controller.audioTimeLabelCurrent
                textFormat: Text.PlainText
                font.pixelSize: 13
            }
            ValueSlider {
                id: slider
                objectName: "audioSlider"
                Layout.fillWidth: true
                Accessible.name: qsTr("Позиция")
                valueText: qsTr("%1 из %2").arg(view.controller.audioTimeLabelCurrent).arg(view.controller.audioTimeLabel)
                from: 0
                to: Math.max(view.controller.sliderMaximum, 0.001)
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
                textFormat: Text.PlainText
                font.pixelSize: 13
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 4
            spacing: 2
            ShuffleButton {
                objectName: "randomButton"
                controller: view.controller
            }
            ToolButton {
                objectName: "backwardButton"
                icon.name: "media-skip-backward"
                icon.source: "qrc:/icons/previous.svg"
                Accessible.name: qsTr("Предыдущая")
                onClicked: view.controller.backwardButtonPressed()
            }
            ToolButton {
                objectName: "playButton"
                icon.name: "media-playback-start"
                icon.source: "qrc:/icons/play.svg"
                Accessible.name: qsTr("Играть")
                onClicked: view.controller.playButtonPressed()
            }
            ToolButton {
                objectName: "pauseButton"
                icon.name: "media-playback-pause"
                icon.source: "qrc:/icons/pause.svg"
                Accessible.name: qsTr("Пауза")
                onClicked: view.controller.pauseButtonPressed()
            }
            ToolButton {
                objectName: "forwardButton"
                icon.name: "media-skip-forward"
                icon.source: "qrc:/icons/next.svg"
                Accessible.name: qsTr("Следующая")
                onClicked: view.controller.forwardButtonPressed()
            }
            RepeatButton {
                objectName: "repeatButton"
                controller: view.controller
            }
            ToolButton {
                objectName: "additionButton"
                icon.name: "open-menu"
                icon.source: "qrc:/icons/menu.svg"
                Accessible.name: qsTr("Меню плейлиста")
                onClicked: view.controller.additionButtonPressed()
            }
        }

        // The playlist's size and length.
        Label {
            objectName: "playlistTotal"
            Layout.fillWidth: true
            Layout.leftMargin: 12
            Layout.rightMargin: 12
            Layout.bottomMargin: 4
            visible: table.count > 0
            horizontalAlignment: Text.AlignHCenter
            text: view.controller.totalText
            textFormat: Text.PlainText
            color: Material.secondaryTextColor
            font.pixelSize: 13
        }

        ListView {
            id: table
            Accessible.role: Accessible.List
            objectName: "audioTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.rows
            ScrollBar.vertical: ScrollBar {}
            remove: Transition { NumberAnimation { property: "opacity"; to: 0; duration: 250 } }
            displaced: Transition { NumberAnimation { property: "y"; duration: 200 } }
            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            highlight: Rectangle { z: 2; color: "transparent"; border.width: table.activeFocus ? 2 : 0; border.color: Material.accentColor }
            Keys.onDeletePressed: if (currentIndex >= 0) view.controller.deleteRow(currentIndex)
            Keys.onReturnPressed: if (currentIndex >= 0) view.controller.playSound(currentIndex)
            Keys.onMenuPressed: if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
            // Shift+F10 opens the row's menu too, as on keyboards without a Menu key.
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                    event.accepted = true
                    if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
                }
            }

            delegate: ItemDelegate {
                id: row
                required property int index
                required property var model
                objectName: "playlistRow" + row.index
                property bool confirming: false
                width: ListView.view.width
                height: 48
                hoverEnabled: false
                Accessible.role: Accessible.ListItem
                Accessible.focusable: true
                Accessible.selectable: true
                Accessible.selected: ListView.isCurrentItem
                Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
                Accessible.name: row.model.title
                // The right button opens the row's menu and nothing else (the row's own click is the left button's).
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: (mouse) => {
                        table.currentIndex = row.index
                        rowMenu.openFor(row, mouse.x, mouse.y, view.rowActions(row.index))
                    }
                }
                // The entry's file is gone: kept in the list, passed over when playing.
                opacity: row.model.playable ? 1.0 : 0.4
                background: Rectangle {
                    // The current track's row: the given tint in a light window, the accent's in a dark one.
                    color: row.model.current ? (row.Material.theme === Material.Dark ? Qt.alpha(row.Material.accentColor, 0.25)
                                                                                 : row.model.background)
                                         : "transparent"
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 1
                        color: row.Material.dividerColor
                    }
                }
                onClicked: {
                    table.currentIndex = row.index
                    view.controller.playSound(row.index)
                }
                onCanceled: row.confirming = false

                contentItem: RowLayout {
                    spacing: 8
                    ToolButton {
                        objectName: "deleteBadge"
                        visible: view.controller.editing
                        text: "⊖"
                        Accessible.name: qsTr("Удалить")
                        font.pixelSize: 18
                        palette.buttonText: "#d9342b"
                        onClicked: row.confirming = !row.confirming
                    }
                    // icon_audio_active.png / icon_audio.png
                    Icon {
                        glyph: "audio"
                        color: row.model.current ? row.Material.accentColor : row.Material.hintTextColor
                    }
                    Label {
                        Layout.fillWidth: true
                        text: row.model.title
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.family: "Helvetica"
                        font.pixelSize: 15
                    }
                    // The track's length once its tags are read; nothing until then.
                    Label {
                        objectName: "rowLength"
                        visible: text.length > 0 && !view.controller.editing
                        text: row.model.length
                        textFormat: Text.PlainText
                        color: row.Material.secondaryTextColor
                        font.pixelSize: 13
                    }
                    Button {
                        objectName: "deleteButton"
                        visible: view.controller.editing && row.confirming
                        text: qsTr("Удалить")
                        palette.button: "#d9342b"
                        palette.buttonText: "white"
                        onClicked: {
                            row.confirming = false
                            view.controller.deleteRow(row.index)
                        }
                    }
                    ToolButton {
                        objectName: "moveUpButton"
                        visible: view.controller.editing && !row.confirming
                        enabled: row.index > 0
                        icon.name: "go-up"
                        icon.source: "qrc:/icons/up.svg"
                        Accessible.name: qsTr("Переместить выше")
                        onClicked: view.controller.moveRow(row.index, row.index - 1)
                    }
                    ToolButton {
                        objectName: "moveDownButton"
                        visible: view.controller.editing && !row.confirming
                        enabled: row.index < table.count - 1
                        icon.name: "go-down"
                        icon.source: "qrc:/icons/down.svg"
                        Accessible.name: qsTr("Переместить ниже")
                        onClicked: view.controller.moveRow(row.index, row.index + 1)
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Плейлист пуст")
                color: Material.hintTextColor
            }
        }
    }

    RowMenu { id: rowMenu; objectName: "rowMenu" }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
        onAnswered: (tag, index) => view.controller.alertAnswered(tag, index)
    }

    Dialog {
        id: saveDialog
        objectName: "saveDialog"
        parent: Overlay.overlay
        anchors.centerIn: Overlay.overlay
        width: Math.min(parent ? parent.width - 40 : 320, 320)
        modal: true
        Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.5) }
        focus: true
        closePolicy: Popup.CloseOnEscape
        title: qsTr("Сохранить плейлист как...")
        onOpened: nameField.forceActiveFocus()

        function answer(index) {
            answered = true
            close()
            view.controller.alertAnswered(2, index)
        }
        // Escape closes it as its cancel button would.
        property bool answered: false
        onAboutToShow: answered = false
        onClosed: if (!answered) view.controller.alertAnswered(2, 0)

        contentItem: ColumnLayout {
            spacing: 12
            TextField {
                id: nameField
                objectName: "playlistNameField"
                Layout.fillWidth: true
                placeholderText: qsTr("Без названия")
                Accessible.name: saveDialog.title
                text: view.controller.playlistNameToSave
                inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
                EnterKey.type: Qt.EnterKeyDone
                rightPadding: clearButton.width + 4
                onTextEdited: view.controller.playlistNameToSave = text
                onAccepted: saveDialog.answer(1)
                background: Rectangle {
                    color: nameField.Material.dialogColor
                    border.color: nameField.activeFocus ? nameField.Material.accentColor : nameField.Material.hintTextColor
                    radius: 6
                }
                ToolButton {
                    id: clearButton
                    objectName: "clearFieldButton"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    icon.name: "window-close"
                    icon.source: "qrc:/icons/close.svg"
                    Accessible.name: qsTr("Очистить поле")
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
