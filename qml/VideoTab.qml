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
    Video_Library { id: videoLibrary }
    Video_Export { id: videoExport }

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
            "Video_Library": () => stack.push(libraryView, { controller: videoLibrary, stack: stack }),
            "Video_Export": () => stack.push(exportView, { controller: videoExport, stack: stack })
        }
    }

    initialItem: AudioMenuView {
        title: qsTr("Видео")
        menu: Video { objectName: "videoMenu" }
        onOpenRequested: (screen, title, name) => stack.open(screen, title, name)
    }
}
