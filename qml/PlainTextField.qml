import QtQuick
import QtQuick.Controls

// A text field whose placeholder may hold outside text (an album's name): the style draws `placeholderText`
// with markup detection, so the placeholder is given as `hint` instead and drawn here as plain text, where
// and as the style draws its own.
TextField {
    id: field
    property string hint
    Accessible.name: hint

    Text {
        objectName: "hint"
        x: field.leftPadding
        y: field.topPadding
        width: field.width - (field.leftPadding + field.rightPadding)
        height: field.height - (field.topPadding + field.bottomPadding)
        text: field.hint
        textFormat: Text.PlainText
        font: field.font
        color: field.placeholderTextColor
        horizontalAlignment: field.horizontalAlignment
        verticalAlignment: field.verticalAlignment
        elide: Text.ElideRight
        renderType: field.renderType
        visible: !field.length && !field.preeditText && (!field.activeFocus || field.horizontalAlignment !== Qt.AlignHCenter)
    }
}
