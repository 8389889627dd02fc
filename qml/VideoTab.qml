import QtQuick
import QtQuick.Controls
import Melodrop

// The video tab: the menu, and the screens it opens on a navigation stack.
StackView {
    id: stack
    objectName: "videoStack"

    Component { id: pendingView; PendingPage {} }
    Component { id: libraryView; LibraryView {} }
    Component { id: exportView; ExportView {} }
    // Each opening is a new screen, starting at the top of the media folder.
    Component { id: libraryScreen; Video_Library {} }
    Component { id: exportScreen; Video_Export {} }

    function open(screen, title, name) {
        const factory = stack.factories()[screen]
        if (factory)
            factory(title)
        else
            stack.push(pendingView, { heading: name, stack: stack })
    }
    // Screens that exist in this build, by class name; filled in as they arrive.
    function factories() {
        return {
            "Video_Library": () => stack.push(libraryView, { controller: libraryScreen.createObject(null), stack: stack }),
            "Video_Export": () => stack.push(exportView, { controller: exportScreen.createObject(null), stack: stack })
        }
    }

    initialItem: AudioMenuView {
        title: qsTr("Видео")
        menu: Video { objectName: "videoMenu" }
        onOpenRequested: (screen, title, name) => stack.open(screen, title, name)
    }
}
