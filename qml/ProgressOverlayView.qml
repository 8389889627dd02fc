import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Melodrop

// Draws a ProgressOverlay: a modal layer with a rounded translucent box holding an indicator and two labels.
// All timing and state live in the controller; this item follows its alpha and texts.
Item {
    id: root
    objectName: "progressOverlay"

    property var hud: null
    // Up from the start of the operation until the box has faded: the screen under it is out of reach. A notice
    // (an overlay that only reports something done) leaves the screen usable under it.
    readonly property bool blocking: !!hud && !hud.passive && (hud.taskInProgress || hud.alpha > 0)
    // Where the focus was when the overlay came up; it goes back there afterwards.
    property Item focusBefore: null

    readonly property int mode: hud ? hud.mode : ProgressOverlay.Indeterminate
    readonly property real boxMargin: hud ? hud.margin : 20
    readonly property real indicatorSize: 37

    anchors.fill: parent
    opacity: hud ? hud.alpha : 0
    visible: !!hud && opacity > 0

    Behavior on opacity {
        enabled: root.hud ? root.hud.animated : false
        NumberAnimation { duration: 300; easing.type: Easing.InOutQuad }
    }

    // Modal for the keyboard too: the overlay holds the focus of the screen it covers, so that Tab cannot walk
    // to a control under it, and swallows every key and shortcut meant for that screen.
    function covers(item) {
        for (let p = item; p; p = p.parent) {
            if (p === root)
                return false
            if (p === root.parent)
                return true
        }
        return false
    }
    function holdFocus() {
        if (root.blocking && root.parent && root.parent.visible)
            root.forceActiveFocus()
    }
    onBlockingChanged: {
        if (blocking) {
            const current = root.Window.activeFocusItem
            root.focusBefore = current && root.covers(current) ? current : null
            root.holdFocus()
        } else if (root.activeFocus) {
            const back = root.focusBefore
            root.focusBefore = null
            if (back && back.visible && back.enabled)
                back.forceActiveFocus()
            else if (root.parent)
                root.parent.forceActiveFocus()
        }
    }
    Connections {
        target: root.Window.window
        function onActiveFocusItemChanged() {
            const item = root.Window.activeFocusItem
            if (root.blocking && item && root.covers(item))
                root.holdFocus()
        }
    }
    Keys.onPressed: function(event) { event.accepted = root.blocking }
    Keys.onReleased: function(event) { event.accepted = root.blocking }
    Keys.onShortcutOverride: function(event) { event.accepted = root.blocking }

    // Modal: nothing behind the overlay receives pointer or wheel input while it is up.
    MouseArea {
        objectName: "progressOverlayBlocker"
        anchors.fill: parent
        enabled: root.blocking
        hoverEnabled: true
        preventStealing: true
        acceptedButtons: Qt.AllButtons
        onWheel: function(wheel) { wheel.accepted = true }
    }

    Rectangle {
        objectName: "progressOverlayDim"
        anchors.fill: parent
        visible: root.hud ? root.hud.dimBackground : false
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(0, 0, 0, 0.35) }
            GradientStop { position: 0.5; color: Qt.rgba(0, 0, 0, 0.55) }
            GradientStop { position: 1.0; color: Qt.rgba(0, 0, 0, 0.35) }
        }
    }

    Rectangle {
        id: box
        objectName: "progressOverlayBox"

        // Room for the texts: the window minus the box's padding and an equal gap to the window edge.
        readonly property real maxContentWidth: Math.max(0, root.width - 4 * root.boxMargin)

        width: Math.max(content.width + 2 * root.boxMargin, root.mode === ProgressOverlay.CustomView ? 0 : content.height + 2 * root.boxMargin)
        height: content.height + 2 * root.boxMargin
        x: Math.round((root.width - width) / 2 + (root.hud ? root.hud.xOffset : 0))
        y: Math.round((root.height - height) / 2 + (root.hud ? root.hud.yOffset : 0))
        radius: 10
        // Read out as it appears, as a notification is.
        Accessible.role: Accessible.AlertMessage
        Accessible.name: root.hud ? [root.hud.labelText, root.hud.detailsLabelText].filter(t => t.length > 0).join(". ") : ""
        // Only the box is translucent (the overlay's `opacity`); the indicator and the texts stay solid on it.
        color: Qt.rgba(0x2b / 255, 0x2b / 255, 0x2b / 255, root.hud ? root.hud.opacity : 0.8)
        border.color: "#4a4a4a"

        Column {
            id: content
            anchors.centerIn: parent
            spacing: 4

            // Drawn here rather than by the style, so it stays white on the dark box under any style.
            BusyIndicator {
                id: spinner
                objectName: "progressOverlayBusyIndicator"
                property int step: 0

                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.mode === ProgressOverlay.Indeterminate
                running: root.mode === ProgressOverlay.Indeterminate && root.visible
                width: root.indicatorSize
                height: root.indicatorSize
                padding: 0

                contentItem: Item {
                    implicitWidth: root.indicatorSize
                    implicitHeight: root.indicatorSize
                    rotation: spinner.step * 30

                    Repeater {
                        model: 12
                        Item {
                            required property int index
                            width: parent.width
                            height: parent.height
                            rotation: index * 30
                            opacity: 0.2 + 0.8 * index / 11

                            Rectangle {
                                x: (parent.width - width) / 2
                                width: 3
                                height: parent.height * 0.28
                                radius: width / 2
                                color: "white"
                            }
                        }
                    }
                }

                Timer {
                    interval: 83
                    repeat: true
                    running: spinner.running
                    onTriggered: spinner.step = (spinner.step + 1) % 12
                }
            }

            Shape {
                id: ring
                objectName: "progressOverlayProgress"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.mode === ProgressOverlay.Determinate
                width: root.indicatorSize
                height: root.indicatorSize

                readonly property real progress: root.hud ? root.hud.progress : 0
                readonly property real radius: width / 2 - 2

                ShapePath {
                    fillColor: "transparent"
                    strokeColor: "white"
                    strokeWidth: 2
                    PathAngleArc {
                        centerX: ring.width / 2
                        centerY: ring.height / 2
                        radiusX: ring.radius
                        radiusY: ring.radius
                        startAngle: 0
                        sweepAngle: 360
                    }
                }
                ShapePath {
                    fillColor: "white"
                    strokeColor: "transparent"
                    startX: ring.width / 2
                    startY: ring.height / 2
                    PathAngleArc {
                        moveToStart: false
                        centerX: ring.width / 2
                        centerY: ring.height / 2
                        radiusX: ring.radius - 3
                        radiusY: ring.radius - 3
                        startAngle: -90
                        sweepAngle: 360 * ring.progress
                    }
                }
            }

            Text {
                objectName: "progressOverlayLabel"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: text.length > 0
                width: Math.min(implicitWidth, box.maxContentWidth)
                text: root.hud ? root.hud.labelText : ""
                textFormat: Text.PlainText
                color: "white"
                font.bold: true
                font.pointSize: 16
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            Text {
                objectName: "progressOverlayDetailsLabel"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: text.length > 0
                width: Math.min(implicitWidth, box.maxContentWidth)
                text: root.hud ? root.hud.detailsLabelText : ""
                textFormat: Text.PlainText
                color: "white"
                font.bold: true
                font.pointSize: 12
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }
        }
    }
}
