import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts

// A tab whose screen is not there yet says so plainly.
Item {
    property string heading
    property string message

    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 48
        spacing: 12
        Label {
            Layout.fillWidth: true
            text: heading
            font.pixelSize: 22
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
        }
        Label {
            Layout.fillWidth: true
            text: message
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            color: Material.secondaryTextColor
        }
    }
}
