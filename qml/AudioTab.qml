import QtQuick
import QtQuick.Controls
import Melodrop

// The audio tab: the menu, and the screens it opens on a navigation stack.
StackView {
    id: stack
    // A friends screen asks for a person's or community's list, maybe of the other tab.
    signal listRequested(string screen, string number, string name)
    objectName: "audioStack"

    Component { id: searchScreen; Audio_Search {} }
    Component { id: personalScreen; Audio_Personal {} }
    Component { id: groupScreen; Audio_Group {} }
    Component { id: recommendedScreen; Audio_Recommended {} }
    Component { id: albumsScreen; Audio_Albums {} }
    Component { id: friendsScreen; Friends_and_Groups {} }
    // The views by file: each is compiled when first opened, not with the menu.
    readonly property url resultsView: "AudioResultsView.qml"
    readonly property url libraryView: "LibraryView.qml"
    readonly property url exportView: "ExportView.qml"
    readonly property url playlistView: "PlaylistView.qml"
    readonly property url albumsView: "AlbumsView.qml"
    readonly property url friendsView: "FriendsGroupsView.qml"
    // Each opening is a new screen, starting at the top of the media folder.
    Component { id: libraryScreen; Audio_Library {} }
    Component { id: exportScreen; Audio_Export {} }

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
        if (screen === "Audio_Library") {
            stack.push(libraryView, { controller: libraryScreen.createObject(null), stack: stack })
            return
        }
        if (screen === "Audio_Export") {
            stack.push(exportView, { controller: exportScreen.createObject(null), stack: stack })
            return
        }
        if (screen === "Audio_Playlist") {
            stack.push(playlistView, { controller: Audio_Playlist.newScreen(), stack: stack, track: NowPlaying })
            return
        }
        if (screen === "Audio_Albums") {
            const albums = albumsScreen.createObject(null, { title: title })
            // An album's tracks open on the search screen, titled with the album's name (album mode).
            albums.openFoundAlbum.connect(albumTitle => stack.open("Audio_Search", albumTitle, albumTitle))
            stack.push(albumsView, { controller: albums, stack: stack })
            return
        }
        if (screen === "Friends_and_Groups") {
            const page = stack.push(friendsView, { controller: friendsScreen.createObject(null), stack: stack })
            page.listRequested.connect(stack.listRequested)
            return
        }
        const factories = {
            "Audio_Search": searchScreen,
            "Audio_Personal": personalScreen,
            "Audio_Group": groupScreen,
            "Audio_Recommended": recommendedScreen
        }
        const factory = factories[screen]
        if (factory)
            stack.push(resultsView, { controller: factory.createObject(null, { title: title }), stack: stack })
        else
            console.warn("no screen", screen)
    }

    // The result screen `screen` for `number`, titled `name`, loading at once.
    function openWithNumber(screen, number, name) {
        const factories = { "Audio_Personal": personalScreen, "Audio_Group": groupScreen }
        const controller = factories[screen].createObject(null, { title: name })
        stack.push(resultsView, { controller: controller, stack: stack })
        controller.searchText = number
        controller.searchBarSearchButtonClicked()
    }

    initialItem: AudioMenuView {
        title: qsTr("Аудио")
        menu: AudioMenu { objectName: "audioMenu" }
        onOpenRequested: (screen, title, name) => stack.open(screen, title, name)
    }
}
