import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material

// A button for captions handed in by a controller: the style's own caption detects markup in its text and
// draws it, fetching any picture it names (a picture in a caption even crashes Qt 6.4), so the caption is drawn
// here as plain text, coloured as the style colours its buttons.
Button {
    id: control
    contentItem: Text {
        objectName: "caption"
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: !control.enabled ? control.Material.hintTextColor
             : control.flat && control.highlighted ? control.Material.accentColor
             : control.highlighted ? control.Material.primaryHighlightedTextColor : control.Material.foreground
    }
    // Enter presses the button that has the focus, as Space does.
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    // The focus ring: which button Enter or Space would press.
    Rectangle {
        objectName: "focusRing"
        anchors.fill: parent
        anchors.margins: 3
        visible: control.activeFocus
        color: "transparent"
        radius: 4
        border.width: 2
        border.color: control.Material.accentColor
    }
}
