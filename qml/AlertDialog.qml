import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import QtQuick.Controls.Material
import QtQuick.Layouts

// Draws an alert a controller asked for; the chosen button's index goes back through `answered`.
Dialog {
    id: dialog
    property string message
    property var buttons: []
    property int tag: 0
    // A preview player drawn in the space the title leaves at the top (the controller's MpvPlayer).
    property var player: null
    signal answered(int tag, int index)
    // The answer Enter gives when the dialog opens: the first action drawn; a question whose action destroys
    // something may set the cancel answer (0) instead.
    property int defaultAnswer: buttons.length > 1 ? 1 : 0

    function formatTime(seconds) {
        return Math.floor(seconds / 60) + ":" + ("0" + Math.floor(seconds % 60)).slice(-2)
    }

    function ask(title, message, buttons, tag) {
        dialog.title = title
        dialog.message = message
        dialog.buttons = buttons
        dialog.tag = tag
        // A screen reader names the dialog after its title, without the room left above it for the preview
        // player, and reads its text as the description.
        const box = dialog.contentItem.parent
        if (box) {
            box.Accessible.name = title.trim()
            box.Accessible.description = message
        }
        open()
    }

    // Escape gives the cancel answer (the first button), as it closes any dialog.
    property bool answeredByButton: false
    onAboutToShow: answeredByButton = false
    onOpened: {
        for (let i = 0; i < answerButtons.count; ++i) {
            const button = answerButtons.itemAt(i)
            if (button && button.answerIndex === dialog.defaultAnswer) {
                button.forceActiveFocus()
                return
            }
        }
    }
    onClosed: {
        if (answeredByButton)
            return
        dialog.player = null
        dialog.answered(dialog.tag, 0)
    }

    anchors.centerIn: Overlay.overlay
    width: Math.min(parent ? parent.width - 40 : 320, 360)
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    // The window behind darkens in the dark scheme too (the style's own backdrop is a light wash there).
    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.5) }

    // The style's title, drawn as plain text (titles carry record and file names) and wrapped, so that a long
    // name stays inside the dialog.
    header: Label {
        objectName: "alertTitle"
        text: dialog.title
        textFormat: Text.PlainText
        visible: dialog.title.length > 0
        wrapMode: Text.Wrap
        padding: 24
        bottomPadding: 0
        font.bold: true
        font.pixelSize: 16
        background: PaddedRectangle {
            radius: 2
            color: dialog.Material.dialogColor
            bottomPadding: -2
            clip: true
        }
    }

    contentItem: ColumnLayout {
        spacing: 8
        RowLayout {
            Layout.fillWidth: true
            visible: dialog.player !== null
            spacing: 6
            ToolButton {
                objectName: "previewPlayButton"
                icon.name: dialog.player && dialog.player.playing ? "media-playback-pause" : "media-playback-start"
                icon.source: dialog.player && dialog.player.playing ? "qrc:/icons/pause.svg" : "qrc:/icons/play.svg"
                Accessible.name: dialog.player && dialog.player.playing ? qsTr("Пауза") : qsTr("Играть")
                enabled: dialog.player !== null
                onClicked: dialog.player.togglePause()
            }
            ValueSlider {
                Layout.fillWidth: true
                Accessible.name: qsTr("Позиция")
                valueText: dialog.player ? qsTr("%1 из %2").arg(dialog.formatTime(dialog.player.position))
                                                          .arg(dialog.formatTime(dialog.player.duration)) : ""
                from: 0
                to: dialog.player && dialog.player.duration > 0 ? dialog.player.duration : 1
                value: dialog.player ? dialog.player.position : 0
                onMoved: dialog.player.seek(value)
            }
            Label {
                text: dialog.player ? dialog.formatTime(dialog.player.position) : ""
                textFormat: Text.PlainText
                font.pixelSize: 12
            }
            BusyIndicator {
                running: dialog.player !== null && dialog.player.loading
                visible: running
                Layout.preferredWidth: 24
                Layout.preferredHeight: 24
            }
        }
        Label {
            objectName: "alertMessage"
            Layout.fillWidth: true
            visible: dialog.message.length > 0
            text: dialog.message
            textFormat: Text.PlainText
            wrapMode: Text.WordWrap
        }
        // With several buttons the first one cancels; it is drawn last, as a plain one, keeping its index.
        Repeater {
            id: answerButtons
            model: dialog.buttons.length > 1 ? dialog.buttons.slice(1).concat([dialog.buttons[0]]) : dialog.buttons
            PlainButton {
                id: answerButton
                required property int index
                required property string modelData
                readonly property int answerIndex: dialog.buttons.length > 1 ? (answerButton.index + 1) % dialog.buttons.length : answerButton.index
                objectName: "alertButton" + answerIndex
                Layout.fillWidth: true
                text: answerButton.modelData
                flat: dialog.buttons.length > 1 && answerIndex === 0
                onClicked: {
                    dialog.player = null
                    dialog.answeredByButton = true
                    dialog.close()
                    dialog.answered(dialog.tag, answerIndex)
                }
            }
        }
    }
}
