import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

ApplicationWindow {
    id: window
    width: 400
    height: 740
    minimumWidth: 320
    minimumHeight: 520
    visible: false // shown by the launch steps
    title: Shell.windowTitle
    Material.theme: Material.Light
    Material.accent: "#4a76a8"
    Material.primary: "#4a76a8"

    StackLayout {
        anchors.fill: parent
        currentIndex: tabBar.currentIndex

        LoginView {}
        AudioTab {}
        VideoTab {}
        QueueView {
            queue: Shell.queue
        }
    }

    Connections {
        target: Lifecycle
        function onAlertRequested(title, message, buttons, tag) { notice.ask(title, message, buttons, tag) }
    }
    AlertDialog {
        id: notice
        objectName: "importNotice"
        parent: Overlay.overlay
        // However it was closed, the next received file's notice may come.
        onClosed: Lifecycle.alertViewClickedButtonAtIndex(notice.tag, 0)
    }

    footer: TabBar {
        id: tabBar
        objectName: "tabBar"
        Repeater {
            model: [qsTr("Вход"), qsTr("Аудио"), qsTr("Видео"), qsTr("Загрузки")]
            TabButton {
                text: modelData
                // The queue tab (index 3) carries the queue badge.
                Rectangle {
                    visible: index === 3 && Shell.queueBadge > 0
                    anchors.top: parent.top
                    anchors.right: parent.right
                    anchors.margins: 6
                    width: Math.max(18, badgeText.implicitWidth + 8)
                    height: 18
                    radius: 9
                    color: "#e64646"
                    Text {
                        id: badgeText
                        anchors.centerIn: parent
                        text: Shell.queueBadge
                        color: "white"
                        font.pixelSize: 11
                        font.bold: true
                    }
                }
            }
        }
    }
}
