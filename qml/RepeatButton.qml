import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import Melodrop

// The repeat button, drawn alike on the player screen and in the now-playing bar. Each click moves to the next
// mode: none, the playlist, the track; the track mode carries a small "1".
ToolButton {
    id: button
    // Audio_Playlist (any of its screens: they all show the one player's state).
    property var controller

    readonly property int mode: controller ? controller.repeatMode : MusicPlayer.Off
    readonly property var modeNames: [qsTr("Повтор: выключен"), qsTr("Повтор: плейлист"), qsTr("Повтор: трек")]
    icon.name: "media-playlist-repeat"
    icon.source: "qrc:/icons/repeat.svg"
    icon.color: mode !== MusicPlayer.Off ? Material.accentColor : Material.foreground
    // playlist_repeat_active.png / playlist_repeat.png
    opacity: mode !== MusicPlayer.Off ? 1.0 : 0.55
    checkable: true
    checked: mode !== MusicPlayer.Off
    onClicked: {
        controller.repeatButtonPressed()
        checked = Qt.binding(() => button.mode !== MusicPlayer.Off)
    }
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: mode !== MusicPlayer.Off
    Accessible.name: qsTr("Повтор")
    Accessible.description: modeNames[mode]
    ToolTip.visible: hovered
    ToolTip.delay: 600
    ToolTip.text: modeNames[mode]

    // Drawn on a disc of the window's colour, so that it stands out from the arrows under it.
    Rectangle {
        objectName: "repeatOneMark"
        visible: button.mode === MusicPlayer.Track
        width: 13
        height: 13
        radius: 6.5
        x: button.width / 2 + 3
        y: button.height / 2 + 1
        color: button.Material.background
        Label {
            anchors.centerIn: parent
            text: "1"
            font.pixelSize: 10
            font.bold: true
            color: button.Material.accentColor
        }
    }
}
