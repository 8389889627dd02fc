import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ToolBar {
    id: bar
    property string title
    property string actionText
    signal back()
    signal action()

    RowLayout {
        anchors.fill: parent
        ToolButton {
            objectName: "backButton"
            text: "‹ " + qsTr("Назад")
            onClicked: bar.back()
        }
        Label {
            Layout.fillWidth: true
            text: bar.title
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: 17
            font.bold: true
            color: "white"
        }
        ToolButton {
            objectName: "actionButton"
            visible: bar.actionText.length > 0
            text: bar.actionText
            onClicked: bar.action()
        }
        Item {
            visible: bar.actionText.length === 0
            Layout.preferredWidth: 72
        }
    }
}
