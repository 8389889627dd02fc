import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The frame of a results screen (audio, video, albums): the bar, the search field and its button, the list
// with its keyboard and row menu, the empty-list text, the overlay and the alerts. A screen's view gives its
// rows (`rowDelegate`), the pieces it adds above the field, beside the button and above the list, its texts and
// its row actions.
Item {
    id: view
    property ResultsScreen controller
    property StackView stack
    // Ctrl+F focuses it.
    property alias searchField: searchBar
    // The list, for the pieces a screen adds (its rows' count, its focus).
    property alias listView: table
    // Where the keyboard goes when the page is shown: the field while there is nothing to go through; the list once
    // it has rows (coming back to them, the keyboard is on the row it left, and no selector opens above them) or
    // while the field is closed (an album's tracks: the list passes it to the first row once rows arrive).
    readonly property Item firstControl: searchEnabled && table.count === 0 ? searchBar as Item : table as Item

    // The bar's title while the controller has none, and its right button (none while empty).
    property string defaultTitle
    property string actionText
    signal action()

    property string searchHint
    property int searchInputHints: Qt.ImhNone
    property bool searchEnabled: true
    property bool searchButtonEnabled: searchEnabled
    property bool searchButtonShowsIcon: false
    // A button without focus leaves the field in focus when clicked, so that what opens while it is edited stays.
    property bool searchButtonTakesFocus: false

    // The list's rows: its name, model, row, header and highlight.
    property alias tableName: table.objectName
    property alias rows: table.model
    property alias rowDelegate: table.delegate
    property alias listHeader: table.header
    property alias highlight: table.highlight
    property string emptyText
    // Whether a row has a menu; a screen that gives one says what is in it (rowActions).
    property bool hasRowMenu: false
    // The actions of a row for its menu ([{ id, text, icon, run }]).
    function rowActions(index) {
        return []
    }
    // The alert's preview player for an alert's tag, if it shows one.
    function alertPlayer(tag) {
        return null
    }

    // Whether the list takes the focus the screen gets once it has rows (the screen's own focus is where the
    // keyboard goes when the field is left).
    property bool resultsTakeFocus: false
    // Field and list as one way for the keyboard: Down goes on from the field to the list, Up from its first
    // row back, and the field gives the keyboard up to the list rather than to the screen.
    property bool fieldLeadsToList: false

    // Pieces of the screen: above the field, beside the search button, and between the field and the list.
    property alias aboveField: aboveFieldColumn.data
    property alias besideSearchButton: searchButtons.data
    property alias aboveList: aboveListColumn.data

    function focusResults() {
        if (table.currentIndex < 0)
            table.currentIndex = 0
        table.forceActiveFocus()
    }
    function activate(index) {
        table.currentIndex = index
        view.controller.rowSelected(index)
    }
    function openRowMenu(item, x, y, index) {
        if (!view.hasRowMenu)
            return
        table.currentIndex = index
        rowMenu.openFor(item, x, y, view.rowActions(index))
    }
    // Where the keyboard goes when the field gives it up.
    function leaveField() {
        if (view.fieldLeadsToList)
            table.forceActiveFocus()
        else
            view.forceActiveFocus()
    }

    onActiveFocusChanged: if (resultsTakeFocus && activeFocus && table.count > 0) view.focusResults()

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onAlertRequested(title, message, buttons, tag) {
            alert.player = view.alertPlayer(tag)
            alert.ask(title, message, buttons, tag)
        }
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === ResultsScreen.Top ? ListView.Beginning : ListView.Center)
        }
        function onKeyboardDismissed() { view.leaveField() }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title.length > 0 ? view.controller.title : view.defaultTitle
            actionText: view.actionText
            onBack: view.stack.pop()
            onAction: view.action()
        }

        ColumnLayout {
            id: aboveFieldColumn
            Layout.fillWidth: true
            Layout.fillHeight: false
            visible: children.length > 0
            spacing: 0
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            spacing: 6
            PlainTextField {
                id: searchBar
                objectName: "searchBar"
                Layout.fillWidth: true
                enabled: view.searchEnabled
                hint: view.searchHint
                text: view.controller.searchText
                inputMethodHints: view.searchInputHints
                onTextEdited: view.controller.searchText = text
                onAccepted: view.controller.searchBarSearchButtonClicked()
                // The record screens open their selectors while the field is edited.
                onActiveFocusChanged: activeFocus ? view.controller.searchBarTextDidBeginEditing()
                                                  : view.controller.searchBarTextDidEndEditing()
                Keys.onEscapePressed: {
                    view.controller.searchBarCancelButtonClicked()
                    view.leaveField()
                }
                Keys.onDownPressed: (event) => {
                    if (!view.fieldLeadsToList) {
                        event.accepted = false
                        return
                    }
                    if (table.count > 0) {
                        table.forceActiveFocus()
                        if (table.currentIndex < 0)
                            table.currentIndex = 0
                    }
                }
            }
            // The button and what a screen puts beside it, as one piece: a hidden piece leaves no gap.
            RowLayout {
                id: searchButtons
                Layout.fillWidth: false
                Layout.fillHeight: false
                spacing: 6
                Button {
                    objectName: "searchButton"
                    text: qsTr("Найти")
                    icon.name: view.searchButtonShowsIcon ? "edit-find" : ""
                    icon.source: view.searchButtonShowsIcon ? "qrc:/icons/search.svg" : ""
                    // Otherwise the platform's own policy.
                    Component.onCompleted: if (!view.searchButtonTakesFocus) focusPolicy = Qt.NoFocus
                    enabled: view.searchButtonEnabled
                    onClicked: view.controller.searchBarSearchButtonClicked()
                }
            }
        }

        ColumnLayout {
            id: aboveListColumn
            Layout.fillWidth: true
            Layout.fillHeight: false
            visible: children.length > 0
            spacing: 0
        }

        ListView {
            id: table
            Accessible.role: Accessible.List
            onCountChanged: if (view.resultsTakeFocus && count > 0 && (view.activeFocus || activeFocus)) view.focusResults()
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            ScrollBar.vertical: ScrollBar {}
            keyNavigationEnabled: true
            activeFocusOnTab: true
            currentIndex: -1
            highlightMoveDuration: 0
            highlight: Rectangle { color: table.activeFocus ? Qt.alpha(Material.accentColor, 0.18) : "transparent" }
            Keys.onReturnPressed: if (currentIndex >= 0) view.activate(currentIndex)
            Keys.onEnterPressed: if (currentIndex >= 0) view.activate(currentIndex)
            // The Menu key opens the row's menu, and Shift+F10 too, as on keyboards without a Menu key; rows
            // without a menu leave both keys to the window.
            Keys.onMenuPressed: (event) => {
                event.accepted = view.hasRowMenu
                if (event.accepted && currentItem)
                    view.openRowMenu(currentItem, 24, currentItem.height / 2, currentIndex)
            }
            Keys.onPressed: (event) => {
                if (view.hasRowMenu && event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
                    event.accepted = true
                    if (currentItem)
                        view.openRowMenu(currentItem, 24, currentItem.height / 2, currentIndex)
                }
            }
            Keys.onUpPressed: (event) => {
                if (view.fieldLeadsToList && currentIndex <= 0)
                    searchBar.forceActiveFocus()
                else
                    event.accepted = false
            }
            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: view.emptyText
                textFormat: Text.PlainText
                color: Material.hintTextColor
            }
        }
    }

    RowMenu { id: rowMenu; objectName: "rowMenu" }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.controller.hud
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
        onAnswered: (tag, index) => view.controller.alertAnswered(tag, index)
    }
}
