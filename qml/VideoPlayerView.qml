import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window
import Melodrop

// The video player (Video_Player): the picture over the whole screen with its own controls, or, with a second
// display, the picture there and play, pause and position controls here.
Item {
    id: view
    property var controller
    property StackView stack

    readonly property var engine: controller ? controller.player : null
    readonly property bool external: controller ? controller.externalDisplay : false

    Component.onCompleted: {
        controller.viewDidLoad()
        controller.viewWillAppear()
    }
    StackView.onActivating: controller.viewWillAppear()
    StackView.onDeactivating: controller.viewWillDisappear()
    StackView.onRemoved: controller.destroy()

    // The window's own screen never takes the picture.
    Binding {
        target: view.controller
        property: "hostWindow"
        value: view.Window.window
    }

    Connections {
        target: view.controller
        function onDismissRequested() {
            if (view.stack && view.stack.currentItem === view)
                view.stack.pop()
        }
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
        color: "white"
        font.pixelSize: 16
    }

    // Close and reload.
    RowLayout {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 8
        Button {
            objectName: "closeButton"
            text: qsTr("Готово")
            onClicked: view.controller.closeWindow()
        }
        Item { Layout.fillWidth: true }
        Button {
            objectName: "refreshButton"
            text: "⟳"
            onClicked: view.controller.refreshWindow()
        }
    }

    // The player's own controls, with one display.
    Rectangle {
        objectName: "embeddedControls"
        visible: !view.external && view.engine !== null && !view.controller.loading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 52
        color: Qt.rgba(0, 0, 0, 0.6)
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            ToolButton {
                text: view.engine && view.engine.playing ? "❚❚" : "▶"
                onClicked: view.engine.togglePause()
            }
            Label {
                text: view.controller.clockText(view.engine ? view.engine.position : 0)
                color: "white"
            }
            Slider {
                Layout.fillWidth: true
                from: 0
                to: view.engine && view.engine.duration > 0 ? view.engine.duration : 1
                value: view.engine ? view.engine.position : 0
                onMoved: view.engine.seek(value)
            }
            Label {
                text: view.controller.clockText(view.engine ? view.engine.duration : 0)
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
