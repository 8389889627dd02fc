import QtQuick
import QtQuick.Controls

// The queue's item count in a red pill.
Rectangle {
    property int count
    width: Math.max(18, badgeText.implicitWidth + 8)
    height: 18
    radius: 9
    color: "#e64646"
    Accessible.ignored: true
    Text {
        id: badgeText
        anchors.centerIn: parent
        text: parent.count
        textFormat: Text.PlainText
        color: "white"
        font.pixelSize: 11
        font.bold: true
    }
}
