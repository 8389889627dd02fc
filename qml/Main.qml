import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

ApplicationWindow {
    id: window
    // The window shell places and sizes the window from the remembered state before it is shown.
    width: 1100
    height: 720
    minimumWidth: 320
    minimumHeight: 520
    visible: false // shown by the launch steps
    title: Shell.windowTitle
    Material.theme: ColorScheme.dark ? Material.Dark : Material.Light
    Material.accent: ColorScheme.dark ? "#5b8fd0" : "#4a76a8"
    Material.primary: "#4a76a8"

    // Wide windows get the sidebar and the now-playing bar; narrow ones keep the tab bar at the bottom.
    readonly property bool wide: width >= 900
    // The sections, in the order of the tab bar and the sidebar.
    enum Section { SignIn, Audio, Video, Downloads, Settings }
    property int section: Main.SignIn
    readonly property var sectionNames: [qsTr("Вход"), qsTr("Аудио"), qsTr("Видео"), qsTr("Загрузки"), qsTr("Настройки")]
    readonly property var sectionIcons: ["login", "audio", "video", "queue", "settings"]
    // The full-window video player, while one is open.
    property Item videoPlayer: null
    property int visibilityBeforeFullScreen: Window.Windowed

    onSectionChanged: {
        window.buildSection(section)
        tabBar.currentIndex = section
        Qt.callLater(window.focusPage)
    }
    Component.onCompleted: window.buildSection(section)
    // The sections past the first are built the first time they are shown, then kept.
    function buildSection(index) {
        const loader = [null, audioSection, videoSection, queueSection, settingsSection][index]
        if (loader)
            loader.active = true
    }
    readonly property AudioTab audioTab: audioSection.item as AudioTab
    readonly property VideoTab videoTab: videoSection.item as VideoTab
    // The stack whose search screen is sliding in after Ctrl+F on its menu.
    property StackView searchAfterTransition: null
    Connections {
        target: window.searchAfterTransition
        function onBusyChanged() {
            if (window.searchAfterTransition.busy)
                return
            window.searchAfterTransition = null
            window.focusSearch()
        }
    }

    function stackOf(index) {
        return index === Main.Audio ? audioTab : index === Main.Video ? videoTab : null
    }
    // The control the page names as its first (`firstControl`), else its search field, else its first control in
    // the tab order.
    function focusPage() {
        const stack = stackOf(section)
        const shown = pages.children[section]
        const page = stack ? stack.currentItem : shown instanceof Loader ? shown.item : shown
        if (!page || !page.visible)
            return
        const target = page.firstControl ? page.firstControl
                     : page.searchField ? page.searchField : page.nextItemInFocusChain(true)
        if (!target)
            return
        if (target instanceof ListView && target.currentIndex < 0)
            target.currentIndex = 0
        target.forceActiveFocus(Qt.TabFocusReason)
    }
    // Ctrl+F: the search field of the page shown now; on a section's menu, its search screen opens for it.
    function focusSearch() {
        const stack = stackOf(section)
        if (!stack || stack.busy)
            return
        if (stack.depth === 1 && stack.openSearch) {
            stack.openSearch()
            // The field is there once the screen has slid in.
            if (stack.busy)
                window.searchAfterTransition = stack
            else if (stack.depth > 1)
                Qt.callLater(focusSearch)
            return
        }
        const page = stack.currentItem
        if (page && page.searchField) {
            page.searchField.forceActiveFocus()
            page.searchField.selectAll()
        }
    }
    // Whether `item` lies in a dialog or another popup, whose own keys come first.
    function inPopup(item) {
        for (let p = item; p; p = p.parent) {
            if (p === Overlay.overlay)
                return true
        }
        return false
    }
    // Escape and Backspace go back only where they mean nothing else: not in a text field or a dialog.
    function backKeysAreFree() {
        const item = window.activeFocusItem
        if (!item || !item.visible)
            return true
        return item.cursorPosition === undefined && !inPopup(item)
    }
    // One screen back in the section shown: the page's own back button, so that a folder of the library goes
    // up a level first, as the button does.
    function goBack() {
        if (window.videoPlayer)
            return
        const stack = stackOf(section)
        if (!stack || stack.depth <= 1 || stack.busy)
            return
        const button = findBackButton(stack.currentItem)
        if (button && button.enabled)
            button.clicked()
    }
    function findBackButton(item) {
        if (!item || !item.visible)
            return null
        if (item.objectName === "backButton")
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = findBackButton(item.children[i])
            if (found)
                return found
        }
        return null
    }
    // The section's first screen, as a click on the section shown does.
    function goToTop(index) {
        const stack = stackOf(index)
        if (stack && stack.depth > 1 && !stack.busy)
            stack.pop(null)
    }
    // Space belongs to text fields and buttons that have the focus; elsewhere it plays and pauses.
    function spaceIsFree() {
        const item = window.activeFocusItem
        if (!item)
            return true
        if (item.cursorPosition !== undefined)
            return false
        // A focused button (sidebar entries and row delegates too) presses itself with Space. Every AbstractButton has
        // `autoRepeat`; `instanceof` does not recognise the style's controls as AbstractButton.
        return item.autoRepeat === undefined
    }
    // A person's or community's list from the friends screen, in the section it belongs to.
    function openList(screen, number, name) {
        const video = screen.indexOf("Video_") === 0
        section = video ? Main.Video : Main.Audio
        if (video)
            videoTab.openWithNumber(screen, number, name)
        else
            audioTab.openWithNumber(screen, number, name)
    }
    readonly property bool playerScreenShown: section === Main.Audio && audioTab !== null
                                              && (audioTab.currentItem as PlaylistView) !== null
    function openPlayerScreen() {
        section = Main.Audio
        audioTab.open("Audio_Playlist", "", "")
    }
    // Opens the video player over the whole window; `controller` is a Video_Player it takes over.
    function openVideoPlayer(controller) {
        videoPlayerHost.open()
        window.videoPlayer = videoPlayerComponent.createObject(videoPlayerSlot, { controller: controller })
    }
    function closeVideoPlayer() {
        if (window.visibility === Window.FullScreen)
            window.visibility = window.visibilityBeforeFullScreen
        if (window.videoPlayer) {
            window.videoPlayer.destroy()
            window.videoPlayer = null
        }
        videoPlayerHost.close()
    }
    function toggleFullScreen() {
        if (window.visibility === Window.FullScreen) {
            window.visibility = window.visibilityBeforeFullScreen
        } else {
            window.visibilityBeforeFullScreen = window.visibility === Window.Maximized ? Window.Maximized : Window.Windowed
            window.visibility = Window.FullScreen
        }
    }

    onClosing: (close) => { close.accepted = Shell.requestQuit() }

    Shortcut { sequences: ["Ctrl+1"]; onActivated: window.section = Main.SignIn }
    Shortcut { sequences: ["Ctrl+2"]; onActivated: window.section = Main.Audio }
    Shortcut { sequences: ["Ctrl+3"]; onActivated: window.section = Main.Video }
    Shortcut { sequences: ["Ctrl+4"]; onActivated: window.section = Main.Downloads }
    Shortcut { sequence: "Ctrl+,"; onActivated: window.section = Main.Settings }
    Shortcut { sequence: "Ctrl+Q"; onActivated: window.close() }
    Shortcut { sequence: "Ctrl+F"; onActivated: window.focusSearch() }
    // Alt+Left, and the Back key of keyboards that have one (one entry each: a key bound twice fires neither).
    Shortcut { sequences: ["Alt+Left", "Back"]; onActivated: window.goBack() }
    Shortcut {
        sequences: ["Esc", "Backspace"]
        enabled: window.videoPlayer === null && window.backKeysAreFree()
        onActivated: window.goBack()
    }
    Shortcut {
        sequence: "Space"
        enabled: window.videoPlayer === null && window.spaceIsFree()
        onActivated: NowPlaying.togglePlayPause()
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Sidebar {
            id: sidebar
            objectName: "sidebar"
            badgeIndex: Main.Downloads
            visible: window.wide
            z: 1 // its shadow falls on the page, over opaque rows too
            Layout.fillHeight: true
            Layout.preferredWidth: 220
            names: window.sectionNames
            icons: window.sectionIcons
            current: window.section
            onSelected: (index) => {
                if (index === window.section)
                    window.goToTop(index)
                window.section = index
            }
        }

        StackLayout {
            id: pages
            Layout.fillWidth: true
            Layout.fillHeight: true
            currentIndex: window.section

            LoginView {
                id: loginView
                onSignedIn: {
                    // The page that said so is left behind: the window says it again where the keys go.
                    announcer.text = loginView.form.sessionText
                    window.section = Main.Audio
                }
            }
            Loader {
                id: audioSection
                active: false
                sourceComponent: AudioTab {
                    onListRequested: (screen, number, name) => window.openList(screen, number, name)
                    onCurrentItemChanged: Qt.callLater(window.focusPage)
                }
            }
            Loader {
                id: videoSection
                active: false
                sourceComponent: VideoTab {
                    onListRequested: (screen, number, name) => window.openList(screen, number, name)
                    onCurrentItemChanged: Qt.callLater(window.focusPage)
                }
            }
            Loader {
                id: queueSection
                active: false
                sourceComponent: QueueView {
                    queue: Shell.queue
                }
            }
            Loader {
                id: settingsSection
                active: false
                sourceComponent: SettingsView {}
            }
        }
    }

    // Read out by screen readers when its text changes: news that outlives the page that had it.
    Item {
        id: announcer
        objectName: "announcer"
        property string text
        width: 1
        height: 1
        Accessible.role: Accessible.AlertMessage
        Accessible.name: text
    }

    // The mouse's Back button, wherever the pointer is; every other button goes on to the items under it.
    MouseArea {
        objectName: "backButtonArea"
        parent: window.contentItem
        anchors.fill: parent
        z: 1000
        acceptedButtons: Qt.BackButton
        onClicked: window.goBack()
    }

    Connections {
        target: Lifecycle
        function onAlertRequested(title, message, buttons, tag) { notice.ask(title, message, buttons, tag) }
    }
    AlertDialog {
        id: notice
        objectName: "importNotice"
        parent: Overlay.overlay
        // However it was closed, the next received file's notice may come.
        onClosed: Lifecycle.alertAnswered(notice.tag, 0)
    }
    Connections {
        target: Shell
        function onAlertRequested(title, message, buttons, tag) { quitQuestion.ask(title, message, buttons, tag) }
    }
    AlertDialog {
        id: quitQuestion
        objectName: "quitQuestion"
        parent: Overlay.overlay
        onAnswered: (tag, index) => Shell.alertAnswered(tag, index)
    }

    // The video player covers the whole window, sidebar and bars included, until it is closed.
    Popup {
        id: videoPlayerHost
        objectName: "videoPlayerHost"
        parent: Overlay.overlay
        x: 0
        y: 0
        width: parent ? parent.width : 0
        height: parent ? parent.height : 0
        modal: true
        Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.5) }
        focus: true
        closePolicy: Popup.NoAutoClose
        padding: 0
        background: Rectangle { color: "black" }
        contentItem: Item { id: videoPlayerSlot }
    }
    Component {
        id: videoPlayerComponent
        VideoPlayerView {
            anchors.fill: parent
            onCloseRequested: window.closeVideoPlayer()
            onFullScreenToggled: window.toggleFullScreen()
            fullScreen: window.visibility === Window.FullScreen
        }
    }

    footer: ColumnLayout {
        spacing: 0
        NowPlayingBar {
            objectName: "nowPlayingBar"
            Layout.fillWidth: true
            compact: !window.wide
            // The narrow window shows it once there is something to play, except over the player screen.
            visible: window.wide || ((NowPlaying.canPlay || NowPlaying.hasTrack) && !window.playerScreenShown)
            onOpenPlayerRequested: window.openPlayerScreen()
        }
        TabBar {
            id: tabBar
            objectName: "tabBar"
            visible: !window.wide
            Layout.fillWidth: true
            onCurrentIndexChanged: window.section = currentIndex
            Repeater {
                model: window.sectionNames
                TabButton {
                    id: tab
                    required property int index
                    required property string modelData
                    objectName: "tab" + tab.index
                    // A tap on the section shown goes back to its first screen.
                    property bool wasCurrent: false
                    onPressed: wasCurrent = tab.checked
                    onClicked: if (wasCurrent) window.goToTop(tab.index)
                    // Room for the name and the badge side by side, down to the narrowest window.
                    leftPadding: 4
                    rightPadding: 4
                    font.pixelSize: window.width < 480 ? 12 : 14
                    Accessible.name: tab.modelData + (tab.index === Main.Downloads && Shell.queueBadge > 0 ? " (" + Shell.queueBadge + ")" : "")
                    // The badge sits beside the name, so that it never hides it.
                    contentItem: Item {
                        implicitHeight: tabRow.implicitHeight
                        Row {
                            id: tabRow
                            anchors.centerIn: parent
                            spacing: 4
                            Label {
                                anchors.verticalCenter: parent.verticalCenter
                                width: Math.min(implicitWidth, tab.availableWidth - (badge.visible ? badge.width + 4 : 0))
                                text: tab.modelData
                                textFormat: Text.PlainText
                                elide: Text.ElideRight
                                color: tab.checked ? tab.Material.accentColor : tab.Material.foreground
                                font: tab.font
                            }
                            QueueBadge {
                                id: badge
                                anchors.verticalCenter: parent.verticalCenter
                                visible: tab.index === Main.Downloads && Shell.queueBadge > 0
                                count: Shell.queueBadge
                            }
                        }
                    }
                }
            }
        }
    }
}
