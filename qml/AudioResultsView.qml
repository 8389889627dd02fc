import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrop

// One audio result screen: search field, sort selector, action strip, the table, preview and overlay.
Item {
    id: view
    property AudioResults controller
    property StackView stack

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onDeactivating: controller.viewWillDisappear()
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onAlertRequested(title, message, buttons, tag) {
            alert.player = tag === 1 ? view.controller.miniPlayer : null
            alert.ask(title, message, buttons, tag)
        }
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === 0 ? ListView.Beginning : ListView.Center)
        }
        function onKeyboardDismissed() { view.forceActiveFocus() }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title.length > 0 ? view.controller.title : qsTr("Аудио")
            actionText: view.controller.hasSelfButton ? qsTr("Свои") : ""
            onBack: view.stack.pop()
            onAction: view.controller.setSelfId()
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            spacing: 6
            TextField {
                id: searchBar
                objectName: "searchBar"
                Layout.fillWidth: true
                enabled: view.controller.inputEnabled
                placeholderText: view.controller.placeholder.length > 0 ? view.controller.placeholder
                               : (view.controller.kind === 0 ? qsTr("Исполнитель или название") : qsTr("ID группы"))
                text: view.controller.searchText
                inputMethodHints: view.controller.kind === 0 ? Qt.ImhNone : Qt.ImhDigitsOnly
                onTextEdited: view.controller.searchText = text
                onAccepted: view.controller.searchBarSearchButtonClicked()
                onActiveFocusChanged: activeFocus ? view.controller.searchBarTextDidBeginEditing()
                                                  : view.controller.searchBarTextDidEndEditing()
                Keys.onEscapePressed: view.controller.searchBarCancelButtonClicked()
            }
            Button {
                objectName: "searchButton"
                text: qsTr("Найти")
                enabled: view.controller.inputEnabled
                onClicked: view.controller.searchBarSearchButtonClicked()
            }
        }

        // The sort selector slides in while the search field is being edited.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: view.controller.hasSortSelector && view.controller.sortVisible ? 44 : 0
            clip: true
            Behavior on Layout.preferredHeight { NumberAnimation { duration: 500 } }
            TabBar {
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                enabled: view.controller.sortEnabled
                currentIndex: view.controller.sortIndex
                onCurrentIndexChanged: view.controller.sortIndex = currentIndex
                TabButton { text: qsTr("Популярные") }
                TabButton { text: qsTr("Длина") }
                TabButton { text: qsTr("Название") }
            }
        }

        // The action strip: queue everything, clear the list.
        Flickable {
            id: strip
            Layout.fillWidth: true
            Layout.preferredHeight: 44
            contentWidth: Math.max(width, actions.implicitWidth + 16)
            flickableDirection: Flickable.HorizontalFlick
            clip: true
            onMovementEnded: view.controller.scrollViewDidEndDecelerating(contentX)
            Row {
                id: actions
                x: 8
                spacing: 8
                Button {
                    objectName: "queueAllButton"
                    text: qsTr("Скачать все")
                    onClicked: view.controller.addAllRecordsToQueue()
                }
                Button {
                    objectName: "clearButton"
                    text: qsTr("Очистить")
                    flat: true
                    onClicked: view.controller.clearRecordsTable()
                }
            }
        }

        ListView {
            id: table
            objectName: "audioTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.records
            ScrollBar.vertical: ScrollBar {}
            delegate: ItemDelegate {
                width: ListView.view.width
                height: 60
                Component.onCompleted: view.controller.cellShown(index)
                onClicked: view.controller.rowSelected(index)
                contentItem: RowLayout {
                    spacing: 10
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            Layout.fillWidth: true
                            text: model.title
                            elide: Text.ElideRight
                            font.pixelSize: 15
                            font.bold: true
                        }
                        Label {
                            Layout.fillWidth: true
                            text: model.artist
                            elide: Text.ElideRight
                            color: "#666666"
                            font.pixelSize: 13
                        }
                    }
                    Label {
                        text: model.duration
                        color: "#888888"
                        font.pixelSize: 12
                    }
                    ToolButton {
                        objectName: "queueButton"
                        text: "⬇"
                        font.pixelSize: 18
                        onClicked: view.controller.accessoryButtonTapped(index)
                    }
                }
            }
            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет записей")
                color: "#999999"
            }
        }
    }

    ProgressOverlayView {
        anchors.fill: parent
        hud: view.controller.hud
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
        onAnswered: (tag, index) => view.controller.alertViewClickedButtonAtIndex(tag, index)
    }
}
