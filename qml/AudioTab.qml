import QtQuick
import QtQuick.Controls
import Melodrop

// The audio tab: the menu, and the screens it opens on a navigation stack.
StackView {
    id: stack
    objectName: "audioStack"

    Component { id: searchScreen; Audio_Search {} }
    Component { id: personalScreen; Audio_Personal {} }
    Component { id: groupScreen; Audio_Group {} }
    Component { id: recommendedScreen; Audio_Recommended {} }
    Component { id: resultsView; AudioResultsView {} }
    Component { id: pendingView; PendingPage {} }

    function open(screen, title, name) {
        const factories = {
            "Audio_Search": searchScreen,
            "Audio_Personal": personalScreen,
            "Audio_Group": groupScreen,
            "Audio_Recommended": recommendedScreen
        }
        const factory = factories[screen]
        if (factory) {
            const controller = factory.createObject(null, { title: title })
            stack.push(resultsView, { controller: controller, stack: stack })
        } else {
            stack.push(pendingView, { heading: name, stack: stack })
        }
    }

    initialItem: AudioMenuView {
        title: qsTr("Аудио")
        menu: Audio { objectName: "audioMenu" }
        onOpenRequested: (screen, title, name) => stack.open(screen, title, name)
    }
}
