import QtQuick
import QtQuick.Controls
import Melodrop

// The video tab: the menu, and the screens it opens on a navigation stack.
StackView {
    id: stack
    // A friends screen asks for a person's or community's list, maybe of the other tab.
    signal listRequested(string screen, string number, string name)
    objectName: "videoStack"

    Component { id: searchScreen; Video_Search {} }
    Component { id: personalScreen; Video_Personal {} }
    Component { id: groupScreen; Video_Group {} }
    Component { id: recommendedScreen; Video_Recommended {} }
    Component { id: friendsScreen; Friends_and_Groups {} }
    // The views by file: each is compiled when first opened, not with the menu.
    readonly property url resultsView: "VideoResultsView.qml"
    readonly property url libraryView: "LibraryView.qml"
    readonly property url exportView: "ExportView.qml"
    readonly property url friendsView: "FriendsGroupsView.qml"
    // Each opening is a new screen, starting at the top of the media folder.
    Component { id: libraryScreen; Video_Library {} }
    Component { id: exportScreen; Video_Export {} }

    // Selecting the tab again shows its top screen anew: it runs its appearing steps, as after a push or a pop.
    onVisibleChanged: {
        const page = stack.currentItem
        if (!visible || !page)
            return
        const screen = page.controller ? page.controller : page.menu
        if (!screen)
            return
        if (typeof screen.viewWillAppear === "function")
            screen.viewWillAppear()
        if (typeof screen.viewDidAppear === "function")
            screen.viewDidAppear()
    }

    // Ctrl+F on the menu: its first row, the search screen, as a click on it would open it.
    function openSearch() {
        const menuPage = stack.get(0) as AudioMenuView
        if (menuPage && menuPage.menu)
            menuPage.menu.rowSelected(0)
    }

    function open(screen, title, name) {
        const factory = stack.factories()[screen]
        if (factory)
            factory(title)
        else
            console.warn("no screen", screen)
    }
    // The screens of the menu's rows, by class name.
    function factories() {
        const results = screen => title => stack.push(resultsView, {
            controller: screen.createObject(null, { title: title }), stack: stack })
        return {
            "Video_Search": results(searchScreen),
            "Video_Personal": results(personalScreen),
            "Video_Group": results(groupScreen),
            "Video_Recommended": results(recommendedScreen),
            "Video_Library": () => stack.push(libraryView, { controller: libraryScreen.createObject(null), stack: stack }),
            "Video_Export": () => stack.push(exportView, { controller: exportScreen.createObject(null), stack: stack }),
            "Friends_and_Groups": () => {
                const page = stack.push(friendsView, { controller: friendsScreen.createObject(null), stack: stack })
                page.listRequested.connect(stack.listRequested)
            }
        }
    }

    // The result screen `screen` for `number`, titled `name`, loading at once.
    function openWithNumber(screen, number, name) {
        const factories = { "Video_Personal": personalScreen, "Video_Group": groupScreen }
        const controller = factories[screen].createObject(null, { title: name })
        stack.push(resultsView, { controller: controller, stack: stack })
        controller.searchText = number
        controller.searchBarSearchButtonClicked()
    }

    initialItem: AudioMenuView {
        title: qsTr("Видео")
        menu: VideoMenu { objectName: "videoMenu" }
        onOpenRequested: (screen, title, name) => stack.open(screen, title, name)
    }
}
