import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts

ToolBar {
    id: bar
    property string title
    property string actionText
    // An icon instead of a caption for the right button (its name in qrc:/icons), with `actionName` read out.
    property string actionIcon
    property string actionName
    signal back()
    signal action()

    // The program's blue in both schemes (darker in the dark one), with white text and icons.
    Material.foreground: "white"
    background: Rectangle {
        implicitHeight: 48
        color: bar.Material.theme === Material.Dark ? "#2f4f75" : "#4a76a8"
    }
    Accessible.role: Accessible.ToolBar
    Accessible.name: bar.title

    RowLayout {
        anchors.fill: parent
        ToolButton {
            objectName: "backButton"
            text: qsTr("Назад")
            icon.name: "go-previous"
            icon.source: "qrc:/icons/back.svg"
            onClicked: bar.back()
            Accessible.name: qsTr("Назад")
        }
        Label {
            Layout.fillWidth: true
            text: bar.title
            textFormat: Text.PlainText
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: 17
            font.bold: true
            color: "white"
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        ToolButton {
            objectName: "actionButton"
            visible: bar.actionText.length > 0 || bar.actionIcon.length > 0
            text: bar.actionText
            icon.source: bar.actionIcon.length > 0 ? "qrc:/icons/" + bar.actionIcon + ".svg" : ""
            display: bar.actionText.length > 0 ? AbstractButton.TextBesideIcon : AbstractButton.IconOnly
            onClicked: bar.action()
            Accessible.name: bar.actionName.length > 0 ? bar.actionName : bar.actionText
            ToolTip.visible: hovered && bar.actionName.length > 0
            ToolTip.text: bar.actionName
        }
        Item {
            visible: !(bar.actionText.length > 0 || bar.actionIcon.length > 0)
            Layout.preferredWidth: 72
        }
    }
}
