import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material

// The shuffle switch, drawn alike on the player screen and in the now-playing bar: lit while on.
ToolButton {
    id: button
    // Audio_Playlist (any of its screens: they all show the one player's state).
    property var controller

    readonly property bool on: controller ? controller.playRandomMusic : false
    icon.name: "media-playlist-shuffle"
    icon.source: "qrc:/icons/shuffle.svg"
    icon.color: on ? Material.accentColor : Material.foreground
    // playlist_shuffle_active.png / playlist_shuffle.png
    opacity: on ? 1.0 : 0.55
    checkable: true
    checked: on
    onClicked: {
        controller.randomButtonPressed()
        checked = Qt.binding(() => button.on)
    }
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: on
    Accessible.name: qsTr("Случайный порядок")
    ToolTip.visible: hovered
    ToolTip.delay: 600
    ToolTip.text: on ? qsTr("Случайный порядок: включён") : qsTr("Случайный порядок: выключен")
}
