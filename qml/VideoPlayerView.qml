import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import QtQuick.Window
import Melodrop

// The video player (Video_Player), shown over the whole window: the picture, kept in its aspect ratio, with
// controls that hide after three seconds without pointer movement; or, with a second display, the picture
// there and play, pause and position controls here. F or a double click toggle full screen; Escape leaves full
// screen first, then closes the player.
FocusScope {
    id: view
    property var controller
    property bool fullScreen: false
    signal closeRequested()
    signal fullScreenToggled()

    readonly property var engine: controller ? controller.player : null
    readonly property bool external: controller ? controller.externalDisplay : false
    property bool controlsShown: true

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
        controlsShown = true
        hideTimer.restart()
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
        }
    }

    Timer {
        id: hideTimer
        interval: 3000
        running: true
        onTriggered: view.controlsShown = false
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
            Item { Layout.fillWidth: true }
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
