import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The friends-and-groups screen (Friends_and_Groups): loads the friends or the communities, shows them in
// sections by first letter with a side index, copies a row's number, and opens the person's or community's
// audio or video list (the row's menu, and its buttons on wide windows).
// Keys on the list: arrows move, Return or Ctrl+C copies the number, a letter jumps to its section.
Item {
    id: view
    property Friends_and_Groups controller
    property StackView stack
    // The row's buttons for the lists fit beside the name.
    readonly property bool roomy: width >= 640
    // The window is to open `screen` for `number` (the tab shows it).
    signal listRequested(string screen, string number, string name)

    function rowActions(index) {
        return [
            { id: "audio", text: view.controller.groups ? qsTr("Аудиозаписи сообщества") : qsTr("Аудиозаписи пользователя"),
              icon: "audio", run: () => view.controller.openAudio(index) },
            { id: "video", text: view.controller.groups ? qsTr("Видеозаписи сообщества") : qsTr("Видеозаписи пользователя"),
              icon: "video", run: () => view.controller.openVideo(index) },
            { id: "copy", text: qsTr("Скопировать ID"), run: () => view.controller.accessoryButtonTapped(index) }
        ]
    }
    // The first row of the section whose letter is `letter`, compared without regard to case; -1 when none.
    function jumpToLetter(letter) {
        const wanted = letter.toUpperCase()
        const letters = view.controller.alphabet
        for (let section = 0; section < letters.length; ++section) {
            if (letters[section].toUpperCase() === wanted)
                return view.showSection(section)
        }
        return -1
    }
    function showSection(section) {
        const row = view.controller.sectionForSectionIndexTitle(section)
        if (row >= 0) {
            table.currentIndex = row
            table.positionViewAtIndex(row, ListView.Beginning)
        }
        return row
    }

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === Friends_and_Groups.Top ? ListView.Beginning : ListView.Center)
        }
        function onListRequested(screen, number, name) { view.listRequested(screen, number, name) }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title
            onBack: view.stack.pop()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            spacing: 8
            Button {
                objectName: "friendsButton"
                Layout.fillWidth: true
                // The two halves alike, whatever their texts' lengths.
                Layout.preferredWidth: 1
                text: qsTr("Друзья")
                icon.source: "qrc:/icons/user.svg"
                enabled: !view.controller.busy
                onClicked: view.controller.getFriends()
            }
            Button {
                objectName: "groupsButton"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                text: qsTr("Группы")
                icon.source: "qrc:/icons/group.svg"
                enabled: !view.controller.busy
                onClicked: view.controller.getGroups()
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: table
                Accessible.role: Accessible.List
                objectName: "friendsTable"
                anchors.fill: parent
                anchors.rightMargin: sideIndex.visible ? sideIndex.width + 4 : 0
                clip: true
                model: view.controller.rows
                ScrollBar.vertical: ScrollBar {}
                keyNavigationEnabled: true
                activeFocusOnTab: true
                currentIndex: -1
                highlightMoveDuration: 0
                Keys.onReturnPressed: if (currentIndex >= 0) view.controller.accessoryButtonTapped(currentIndex)
                Keys.onEnterPressed: if (currentIndex >= 0) view.controller.accessoryButtonTapped(currentIndex)
                Keys.onMenuPressed: if (currentItem) rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
                Keys.onPressed: (event) => {
                    if (event.matches(StandardKey.Copy)) {
                        if (currentIndex >= 0)
                            view.controller.accessoryButtonTapped(currentIndex)
                        event.accepted = true
                    } else if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                        // The row's menu, as on keyboards without a Menu key.
                        if (currentItem)
                            rowMenu.openFor(currentItem, 24, currentItem.height / 2, view.rowActions(currentIndex))
                        event.accepted = true
                    } else if (event.text.length === 1 && !(event.modifiers & (Qt.ControlModifier | Qt.AltModifier))
                               && event.text.trim().length === 1) {
                        event.accepted = view.jumpToLetter(event.text) >= 0
                    }
                }
                // Section headers are drawn by the rows themselves (the first row of a section carries its
                // letter): headers of a separate section delegate kept stale letters when scrolled back.
                section.property: "section"
                delegate: Item {
                    id: entry
                    required property int index
                    required property var model
                    objectName: "friendRow"
                    width: ListView.view.width
                    height: header.height + row.height
                    readonly property bool firstOfSection: ListView.section !== ListView.previousSection
                    readonly property bool current: ListView.isCurrentItem

                    Rectangle {
                        id: header
                        objectName: "sectionHeader"
                        visible: entry.firstOfSection
                        width: parent.width
                        height: visible ? 26 : 0
                        color: Material.theme === Material.Dark ? "#2b3138" : "#e9edf1"
                        Label {
                            anchors.verticalCenter: parent.verticalCenter
                            x: 16
                            text: entry.model.section
                            textFormat: Text.PlainText
                            font.bold: true
                            color: Material.secondaryTextColor
                        }
                    }
                    ItemDelegate {
                        id: row
                        y: header.height
                        width: parent.width
                        height: 60
                        // Tapping a row itself does nothing: the number is taken with the row's button.
                        hoverEnabled: false
                        down: false
                        Accessible.role: Accessible.ListItem
                        Accessible.focusable: true
                        Accessible.selectable: true
                        Accessible.selected: entry.current
                        Accessible.focused: entry.current && table.activeFocus
                        Accessible.name: entry.model.name + ", " + entry.model.description
                        background: Rectangle {
                            color: entry.current && table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent"
                        }
                        // A click picks the row for the keys (Return copies, a letter jumps).
                        onClicked: {
                            table.currentIndex = entry.index
                            table.forceActiveFocus()
                        }
                        MouseArea {
                            anchors.fill: parent
                            acceptedButtons: Qt.RightButton
                            onClicked: (mouse) => {
                                table.currentIndex = entry.index
                                rowMenu.openFor(row, mouse.x, mouse.y, view.rowActions(entry.index))
                            }
                        }
                        contentItem: RowLayout {
                            spacing: 12
                            CachedImage {
                                objectName: "avatar"
                                Layout.preferredWidth: 44
                                Layout.preferredHeight: 44
                                source: entry.model.picture
                                // Until the picture arrives (or when it cannot be had): the name's first letter.
                                placeholder: Rectangle {
                                    radius: 4
                                    color: Qt.alpha(Material.accentColor, 0.18)
                                    Label {
                                        anchors.centerIn: parent
                                        text: entry.model.name.length > 0 ? entry.model.name.charAt(0).toUpperCase() : ""
                                        textFormat: Text.PlainText
                                        color: Material.accentColor
                                        font.pixelSize: 18
                                        font.bold: true
                                    }
                                }
                            }
                            ColumnLayout {
                                Layout.fillWidth: true
                                spacing: 2
                                Label {
                                    objectName: "friendName"
                                    Layout.fillWidth: true
                                    text: entry.model.name
                                    textFormat: Text.PlainText
                                    elide: Text.ElideRight
                                    maximumLineCount: 1
                                    font.pixelSize: 15
                                    font.bold: true
                                }
                                Label {
                                    objectName: "friendDescription"
                                    Layout.fillWidth: true
                                    text: entry.model.description
                                    textFormat: Text.PlainText
                                    elide: Text.ElideRight
                                    color: Material.secondaryTextColor
                                    font.pixelSize: 12
                                }
                            }
                            ToolButton {
                                objectName: "audioListButton"
                                visible: view.roomy
                                focusPolicy: Qt.NoFocus
                                icon.name: "audio-x-generic"
                                icon.source: "qrc:/icons/audio.svg"
                                Accessible.name: view.controller.groups ? qsTr("Аудиозаписи сообщества") : qsTr("Аудиозаписи пользователя")
                                ToolTip.visible: hovered
                                ToolTip.text: Accessible.name
                                onClicked: view.controller.openAudio(entry.index)
                            }
                            ToolButton {
                                objectName: "videoListButton"
                                visible: view.roomy
                                focusPolicy: Qt.NoFocus
                                icon.name: "video-x-generic"
                                icon.source: "qrc:/icons/video.svg"
                                Accessible.name: view.controller.groups ? qsTr("Видеозаписи сообщества") : qsTr("Видеозаписи пользователя")
                                ToolTip.visible: hovered
                                ToolTip.text: Accessible.name
                                onClicked: view.controller.openVideo(entry.index)
                            }
                            // The detail button: a ringed "i".
                            ToolButton {
                                objectName: "copyButton"
                                Layout.preferredWidth: 44
                                Layout.preferredHeight: 44
                                focusPolicy: Qt.NoFocus
                                Accessible.name: qsTr("Скопировать ID")
                                ToolTip.visible: hovered
                                ToolTip.text: Accessible.name
                                onClicked: view.controller.accessoryButtonTapped(entry.index)
                                contentItem: Item {
                                    Rectangle {
                                        anchors.centerIn: parent
                                        width: 22
                                        height: 22
                                        radius: 11
                                        color: "transparent"
                                        border.color: Material.accentColor
                                        border.width: 2
                                        Text {
                                            anchors.centerIn: parent
                                            text: "i"
                                            color: Material.accentColor
                                            font.bold: true
                                            font.pixelSize: 14
                                        }
                                    }
                                }
                            }
                        }
                        Rectangle {
                            anchors.bottom: parent.bottom
                            x: 72
                            width: parent.width - x
                            height: 1
                            color: Material.dividerColor
                        }
                    }
                }
                Label {
                    anchors.centerIn: parent
                    visible: table.count === 0
                    text: qsTr("Нет записей")
                    color: Material.hintTextColor
                }
            }

            // The side index: a letter shows its section.
            Column {
                id: sideIndex
                objectName: "sideIndex"
                anchors.right: parent.right
                anchors.rightMargin: 2
                anchors.verticalCenter: parent.verticalCenter
                width: 24
                visible: view.controller.alphabet.length > 0
                Repeater {
                    model: view.controller.alphabet
                    delegate: Label {
                        objectName: "indexLetter"
                        required property string modelData
                        required property int index
                        width: sideIndex.width
                        height: Math.min(20, (sideIndex.parent.height - 8) / Math.max(1, view.controller.alphabet.length))
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        text: modelData
                        textFormat: Text.PlainText
                        color: Material.accentColor
                        font.bold: true
                        // Readable however many letters there are.
                        font.pixelSize: Math.max(12, Math.min(14, height - 2))
                        MouseArea {
                            anchors.fill: parent
                            onClicked: view.showSection(parent.index)
                        }
                    }
                }
            }
        }
    }

    RowMenu { id: rowMenu; objectName: "rowMenu" }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.controller.hud
    }
}
