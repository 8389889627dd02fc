import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The bar along the bottom of the window: the current track, the transport, the position and the volume of the
// player the player screen drives. Compact (narrow windows): the track, previous, play/pause and next, with
// the position as a thin line along the top.
Pane {
    id: bar
    property bool compact: false
    // The parts that are there, in one line for screen readers.
    function joined(parts) {
        return parts.filter(part => part.length > 0).join(", ")
    }
    signal openPlayerRequested()

    padding: compact ? 4 : 8
    Material.elevation: 4
    Accessible.role: Accessible.ToolBar
    Accessible.name: qsTr("Сейчас играет")

    RowLayout {
        anchors.fill: parent
        spacing: 8

        // The track: a click opens the player screen.
        ItemDelegate {
            objectName: "nowPlayingTrack"
            Layout.preferredWidth: bar.compact ? -1 : Math.min(320, bar.width * 0.28)
            Layout.fillWidth: bar.compact
            Layout.fillHeight: true
            padding: 4
            Accessible.name: NowPlaying.hasTrack ? bar.joined([NowPlaying.title, NowPlaying.artist, NowPlaying.album])
                                                 : qsTr("Ничего не играет")
            onClicked: bar.openPlayerRequested()
            contentItem: RowLayout {
                spacing: 10
                // The cover, or the placeholder while there is none.
                Rectangle {
                    Layout.preferredWidth: 40
                    Layout.preferredHeight: 40
                    radius: 6
                    color: Material.accentColor
                    clip: true
                    Icon {
                        anchors.centerIn: parent
                        visible: nowPlayingCover.status !== Image.Ready
                        glyph: "audio"
                        color: "white"
                    }
                    Image {
                        id: nowPlayingCover
                        objectName: "nowPlayingCover"
                        anchors.fill: parent
                        source: NowPlaying.coverUrl
                        sourceSize.width: 80
                        sourceSize.height: 80
                        fillMode: Image.PreserveAspectCrop
                        asynchronous: true
                        visible: status === Image.Ready
                    }
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Label {
                        objectName: "nowPlayingTitle"
                        Layout.fillWidth: true
                        text: NowPlaying.hasTrack ? NowPlaying.title : qsTr("Ничего не играет")
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.bold: true
                    }
                    Label {
                        objectName: "nowPlayingArtist"
                        Layout.fillWidth: true
                        visible: text.length > 0
                        text: NowPlaying.artist
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.pixelSize: 12
                        color: Material.secondaryTextColor
                    }
                }
            }
        }

        ShuffleButton {
            objectName: "nowPlayingShuffle"
            visible: !bar.compact
            controller: Audio_Playlist
        }
        ToolButton {
            objectName: "nowPlayingPrevious"
            icon.name: "media-skip-backward"
            icon.source: "qrc:/icons/previous.svg"
            onClicked: NowPlaying.previous()
            Accessible.name: qsTr("Предыдущая")
        }
        RoundButton {
            objectName: "nowPlayingPlayPause"
            highlighted: true
            enabled: NowPlaying.canPlay
            icon.name: NowPlaying.playing ? "media-playback-pause" : "media-playback-start"
            icon.source: NowPlaying.playing ? "qrc:/icons/pause.svg" : "qrc:/icons/play.svg"
            onClicked: NowPlaying.togglePlayPause()
            Accessible.name: NowPlaying.playing ? qsTr("Пауза") : qsTr("Играть")
        }
        ToolButton {
            objectName: "nowPlayingNext"
            icon.name: "media-skip-forward"
            icon.source: "qrc:/icons/next.svg"
            onClicked: NowPlaying.next()
            Accessible.name: qsTr("Следующая")
        }
        RepeatButton {
            objectName: "nowPlayingRepeat"
            visible: !bar.compact
            controller: Audio_Playlist
        }

        Label {
            objectName: "nowPlayingElapsed"
            visible: !bar.compact
            text: NowPlaying.elapsedText
            textFormat: Text.PlainText
            font.pixelSize: 12
        }
        ValueSlider {
            id: seek
            objectName: "nowPlayingSeek"
            visible: !bar.compact
            Layout.fillWidth: true
            Layout.maximumWidth: 520
            from: 0
            to: Math.max(NowPlaying.duration, 0.001)
            enabled: NowPlaying.canPlay
            onMoved: NowPlaying.seek(value)
            Accessible.name: qsTr("Позиция")
            valueText: qsTr("%1 из %2").arg(NowPlaying.elapsedText).arg(NowPlaying.totalText)
        }
        Binding {
            target: seek
            property: "value"
            value: NowPlaying.position
            when: !seek.pressed
            restoreMode: Binding.RestoreNone
        }
        Label {
            objectName: "nowPlayingTotal"
            visible: !bar.compact
            text: NowPlaying.totalText
            textFormat: Text.PlainText
            font.pixelSize: 12
        }

        Icon {
            visible: !bar.compact
            glyph: "volume"
            Layout.leftMargin: 8
            color: Material.secondaryTextColor
        }
        ValueSlider {
            objectName: "nowPlayingVolume"
            visible: !bar.compact
            Layout.preferredWidth: 110
            from: 0
            to: 100
            value: NowPlaying.volume
            onMoved: NowPlaying.volume = value
            Accessible.name: qsTr("Громкость")
            valueText: qsTr("Громкость %1 %").arg(Math.round(value))
        }
    }

    // The position, in the compact bar.
    Rectangle {
        objectName: "nowPlayingProgress"
        visible: bar.compact && NowPlaying.hasTrack
        parent: bar
        x: 0
        y: 0
        height: 2
        width: bar.width * (NowPlaying.duration > 0 ? Math.min(1, NowPlaying.position / NowPlaying.duration) : 0)
        color: Material.accentColor
    }
}
