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
}
