import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Draws an alert a controller asked for; the chosen button's index goes back through `answered`.
Dialog {
    id: dialog
    property string message
    property var buttons: []
    property int tag: 0
    signal answered(int tag, int index)

    function ask(title, message, buttons, tag) {
        dialog.title = title
        dialog.message = message
        dialog.buttons = buttons
        dialog.tag = tag
        open()
    }

    anchors.centerIn: Overlay.overlay
    width: Math.min(parent ? parent.width - 40 : 320, 360)
    modal: true
    closePolicy: Popup.NoAutoClose

    contentItem: ColumnLayout {
        spacing: 8
        Label {
            Layout.fillWidth: true
            visible: dialog.message.length > 0
            text: dialog.message
            wrapMode: Text.WordWrap
        }
        // With several buttons the first one cancels; it is drawn last, as a plain one, keeping its index.
        Repeater {
            model: dialog.buttons.length > 1 ? dialog.buttons.slice(1).concat([dialog.buttons[0]]) : dialog.buttons
            Button {
                readonly property int answerIndex: dialog.buttons.length > 1 ? (index + 1) % dialog.buttons.length : index
                objectName: "alertButton" + answerIndex
                Layout.fillWidth: true
                text: modelData
                flat: dialog.buttons.length > 1 && answerIndex === 0
                onClicked: {
                    dialog.close()
                    dialog.answered(dialog.tag, answerIndex)
                }
            }
        }
    }
}
