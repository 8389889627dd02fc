import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import QtQuick.Window
import Melodrop

// The video player (Video_Player), shown over the whole window: the picture, kept in its aspect ratio, with
// the video's title and controls that hide after three seconds without pointer movement while it plays (they
// stay while it is paused or at its end); or, with a second display, the picture there and play, pause and
// position controls here. F or a double click toggle full screen; Escape leaves full screen first, then closes
// the player. Space plays and pauses, Left/Right jump 5 seconds, Up/Down and the mouse wheel change the
// volume, M mutes.
FocusScope {
    id: view
    property var controller
    property bool fullScreen: false
    signal closeRequested()
    signal fullScreenToggled()

    readonly property var engine: controller ? controller.player : null
    readonly property bool external: controller ? controller.externalDisplay : false
    // The pointer moved lately; the controls show then, and whenever the video is not playing.
    property bool pointerActive: true
    readonly property bool controlsShown: pointerActive || !engine || !engine.playing
    readonly property int seekStep: 5
    readonly property int volumeStep: 5

    focus: true
    Material.theme: Material.Dark
    Accessible.role: Accessible.Pane
    Accessible.name: qsTr("Видеоплеер")

    Component.onCompleted: {
        controller.viewDidLoad()
        controller.viewWillAppear()
        forceActiveFocus()
    }
    Component.onDestruction: {
        if (controller) {
            controller.viewWillDisappear()
            controller.destroy()
        }
    }

    function showControls() {
        pointerActive = true
        hideTimer.restart()
    }
    function changeVolume(percent) {
        if (view.engine)
            view.engine.changeVolume(percent)
        view.showControls()
    }
    function leaveOrClose() {
        if (view.fullScreen)
            view.fullScreenToggled()
        else
            view.controller.closeWindow()
    }

    Keys.onEscapePressed: view.leaveOrClose()
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_F || event.key === Qt.Key_F11) {
            view.fullScreenToggled()
            event.accepted = true
        } else if (event.key === Qt.Key_Space && view.engine) {
            view.engine.togglePause()
            view.showControls()
            event.accepted = true
        } else if ((event.key === Qt.Key_Left || event.key === Qt.Key_Right) && view.engine) {
            view.engine.seekBy(event.key === Qt.Key_Left ? -view.seekStep : view.seekStep)
            view.showControls()
            event.accepted = true
        } else if (event.key === Qt.Key_Up || event.key === Qt.Key_Down) {
            view.changeVolume(event.key === Qt.Key_Up ? view.volumeStep : -view.volumeStep)
            event.accepted = true
        } else if (event.key === Qt.Key_M && view.engine) {
            view.engine.toggleMute()
            view.showControls()
            event.accepted = true
        }
    }

    Timer {
        id: hideTimer
        interval: 3000
        running: true
        onTriggered: view.pointerActive = false
    }

    // The window's own screen never takes the picture.
    Binding {
        target: view.controller
        property: "hostWindow"
        value: view.Window.window
    }

    Connections {
        target: view.controller
        function onDismissRequested() { view.closeRequested() }
    }

    Rectangle {
        anchors.fill: parent
        color: "black"
    }

    VideoSurface {
        id: picture
        objectName: "videoPicture"
        anchors.fill: parent
        visible: !view.external
        player: view.external ? null : view.controller
    }

    Label {
        anchors.centerIn: parent
        visible: !picture.supported && !view.external && !view.controller.loading && view.controller.errorText.length === 0
        text: qsTr("Изображение недоступно: нужен вывод через OpenGL")
        color: "#cccccc"
    }

    Column {
        anchors.centerIn: parent
        spacing: 8
        visible: view.controller.loading
        BusyIndicator {
            objectName: "loadingIndicator"
            anchors.horizontalCenter: parent.horizontalCenter
            running: view.controller.loading
        }
        Label {
            objectName: "loadingText"
            text: qsTr("Загрузка...")
            color: "white"
        }
    }

    Label {
        objectName: "errorText"
        anchors.centerIn: parent
        visible: text.length > 0
        text: view.controller.errorText
        textFormat: Text.PlainText
        color: "white"
        font.pixelSize: 16
    }

    // Pointer movement shows the controls; a double click toggles full screen.
    MouseArea {
        objectName: "videoPointerArea"
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        cursorShape: view.controlsShown ? Qt.ArrowCursor : Qt.BlankCursor
        onPositionChanged: view.showControls()
        onPressed: view.showControls()
        onDoubleClicked: view.fullScreenToggled()
        // The wheel turns the volume, a notch a step.
        property real wheelRest: 0
        onWheel: (wheel) => {
            wheelRest += wheel.angleDelta.y
            const notches = Math.trunc(wheelRest / 120)
            if (notches !== 0) {
                wheelRest -= notches * 120
                view.changeVolume(notches * view.volumeStep)
            }
        }
    }

    // Close, reload and full screen along the top.
    Rectangle {
        objectName: "topControls"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        height: 56
        opacity: view.controlsShown ? 1 : 0
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: 200 } }
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(0, 0, 0, 0.7) }
            GradientStop { position: 1; color: "transparent" }
        }
        RowLayout {
            anchors.fill: parent
            anchors.margins: 8
            ToolButton {
                objectName: "closeButton"
                text: qsTr("Готово")
                icon.name: "window-close"
                icon.source: "qrc:/icons/close.svg"
                onClicked: view.controller.closeWindow()
                Accessible.name: qsTr("Закрыть видео")
            }
            Label {
                objectName: "videoTitle"
                Layout.fillWidth: true
                Layout.leftMargin: 8
                text: view.controller.title
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                color: "white"
                font.pixelSize: 16
                font.bold: true
            }
            ToolButton {
                objectName: "refreshButton"
                icon.name: "view-refresh"
                icon.source: "qrc:/icons/refresh.svg"
                onClicked: view.controller.refreshWindow()
                Accessible.name: qsTr("Начать сначала")
                ToolTip.visible: hovered
                ToolTip.text: Accessible.name
            }
            ToolButton {
                objectName: "fullScreenButton"
                icon.name: view.fullScreen ? "view-restore" : "view-fullscreen"
                icon.source: view.fullScreen ? "qrc:/icons/fullscreen-exit.svg" : "qrc:/icons/fullscreen.svg"
                onClicked: view.fullScreenToggled()
                Accessible.name: view.fullScreen ? qsTr("Выйти из полноэкранного режима") : qsTr("Во весь экран")
                ToolTip.visible: hovered
                ToolTip.text: Accessible.name
            }
        }
    }

    // The player's own controls, with one display.
    Rectangle {
        objectName: "embeddedControls"
        visible: !view.external && view.engine !== null && !view.controller.loading && opacity > 0
        opacity: view.controlsShown ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 200 } }
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 60
        gradient: Gradient {
            GradientStop { position: 0; color: "transparent" }
            GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.75) }
        }
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            ToolButton {
                objectName: "videoPlayPause"
                focusPolicy: Qt.NoFocus
                icon.name: view.engine && view.engine.playing ? "media-playback-pause" : "media-playback-start"
                icon.source: view.engine && view.engine.playing ? "qrc:/icons/pause.svg" : "qrc:/icons/play.svg"
                icon.color: "white"
                onClicked: view.engine.togglePause()
                Accessible.name: view.engine && view.engine.playing ? qsTr("Пауза") : qsTr("Играть")
            }
            Label {
                text: view.controller.clockText(view.engine ? view.engine.position : 0)
                textFormat: Text.PlainText
                color: "white"
            }
            Slider {
                objectName: "videoSeek"
                Layout.fillWidth: true
                // The keys stay with the player (arrows seek and change the volume).
                focusPolicy: Qt.NoFocus
                from: 0
                to: view.engine && view.engine.duration > 0 ? view.engine.duration : 1
                value: view.engine ? view.engine.position : 0
                onMoved: view.engine.seek(value)
                Accessible.name: qsTr("Позиция")
            }
            Label {
                text: view.controller.clockText(view.engine ? view.engine.duration : 0)
                textFormat: Text.PlainText
                color: "white"
            }
            ToolButton {
                objectName: "videoMute"
                focusPolicy: Qt.NoFocus
                icon.name: view.engine && (view.engine.muted || view.engine.volume === 0) ? "audio-volume-muted" : "audio-volume-high"
                icon.source: "qrc:/icons/volume.svg"
                icon.color: "white"
                opacity: view.engine && view.engine.muted ? 0.5 : 1
                onClicked: view.engine.toggleMute()
                Accessible.name: view.engine && view.engine.muted ? qsTr("Включить звук") : qsTr("Выключить звук")
                ToolTip.visible: hovered
                ToolTip.text: Accessible.name
            }
            Slider {
                objectName: "videoVolume"
                Layout.preferredWidth: Math.min(120, view.width / 6)
                focusPolicy: Qt.NoFocus
                from: 0
                to: 100
                stepSize: 1
                value: view.engine ? (view.engine.muted ? 0 : view.engine.volume) : 100
                onMoved: {
                    view.engine.muted = false
                    view.engine.volume = Math.round(value)
                }
                Accessible.name: qsTr("Громкость")
                Accessible.description: qsTr("Громкость %1 %").arg(Math.round(value))
            }
        }
    }

    // The controls shown here while the picture is on the second display.
    ColumnLayout {
        objectName: "externalControls"
        visible: view.external && view.controller.externalControlsVisible
        anchors.centerIn: parent
        width: Math.min(parent.width - 40, 420)
        spacing: 12
        Label {
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Видео показывается на втором экране")
            color: "white"
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Button {
                objectName: "playButton"
                text: "▶"
                onClicked: view.controller.playButtonPressed()
            }
            Button {
                objectName: "pauseButton"
                text: "❚❚"
                onClicked: view.controller.pauseButtonPressed()
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Label {
                objectName: "videoTimeLabelCurrent"
                text: view.controller.videoTimeLabelCurrent
                textFormat: Text.PlainText
                color: "white"
            }
            Slider {
                id: videoSlider
                objectName: "videoSlider"
                Layout.fillWidth: true
                from: 0
                to: view.controller.sliderMaximum > 0 ? view.controller.sliderMaximum : 1
                value: view.controller.sliderValue
                Behavior on value {
                    enabled: !videoSlider.pressed
                    NumberAnimation { duration: 250 }
                }
                onMoved: view.controller.videoSliderMoved(value)
            }
            Label {
                objectName: "videoTimeLabel"
                text: view.controller.videoTimeLabel
                textFormat: Text.PlainText
                color: "white"
            }
        }
    }

    // The second display's window, holding only the picture.
    Window {
        id: externalWindow
        screen: Qt.application.screens[Math.max(0, view.controller.externalScreenIndex)]
        visibility: view.external ? Window.FullScreen : Window.Hidden
        color: "black"
        title: qsTr("Melodrop — видео")
        VideoSurface {
            anchors.fill: parent
            player: view.external ? view.controller : null
        }
    }
}
