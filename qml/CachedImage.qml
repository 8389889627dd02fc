import QtQuick
import QtQuick.Controls
import QtQuick.Window

// A picture from an address, loaded through the engine's disk-cached network access (app/ImageCache.h), with a
// placeholder until it has arrived; a picture that cannot be had leaves the placeholder in place.
//     CachedImage { source: model.thumbnail; width: 112; height: 63 }
// `placeholder` may be replaced with any item component (a photo frame, initials, ...).
Item {
    id: root
    property alias source: picture.source
    property alias fillMode: picture.fillMode
    readonly property bool ready: picture.status === Image.Ready
    property Component placeholder: Rectangle {
        color: "#d5dbe2"
        radius: 4
        Label {
            anchors.centerIn: parent
            text: "▶"
            color: "white"
            font.pixelSize: Math.max(10, Math.min(parent.width, parent.height) * 0.4)
        }
    }

    Loader {
        objectName: "placeholder"
        anchors.fill: parent
        active: !root.ready
        sourceComponent: root.placeholder
    }
    Image {
        id: picture
        objectName: "picture"
        anchors.fill: parent
        visible: root.ready
        asynchronous: true
        fillMode: Image.PreserveAspectCrop
        clip: true
        sourceSize.width: Math.ceil(root.width * Screen.devicePixelRatio)
    }
}
