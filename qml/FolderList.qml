import QtQuick
import QtQuick.Controls

// The list of a folder, as the library and export screens show it: it slides back into place and fades in when
// the screen moves to another folder (`slideFrom`: the side the new folder comes from, -1 left or 1 right).
ListView {
    id: list
    Accessible.role: Accessible.List
    clip: true
    ScrollBar.vertical: ScrollBar {}

    function slideFrom(side) {
        slideIn.from = side * 50
        slideIn.restart()
    }

    transform: Translate { id: shift }
    ParallelAnimation {
        id: slideIn
        property real from: 0
        NumberAnimation { target: shift; property: "x"; from: slideIn.from; to: 0; duration: 500 }
        NumberAnimation { target: list; property: "opacity"; from: 0; to: 1; duration: 500 }
    }
}
