import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Melodrop

// One video result screen: the quality and sort selectors (search), the search field, the table with a
// preview picture per row, the overlay, the quality choice and the video player it leads to.
Item {
    id: view
    property VideoResults controller
    property StackView stack

    Component.onCompleted: controller.viewDidLoad()
    StackView.onActivating: controller.viewWillAppear()
    StackView.onDeactivating: controller.viewWillDisappear()
    StackView.onRemoved: controller.destroy()

    Component { id: videoPlayerScreen; Video_Player {} }
    Component { id: videoPlayerView; VideoPlayerView {} }

    Connections {
        target: view.controller
        function onAlertRequested(title, message, buttons, tag) { alert.ask(title, message, buttons, tag) }
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === 0 ? ListView.Beginning : ListView.Center)
        }
        function onKeyboardDismissed() { view.forceActiveFocus() }
        function onVideoPlayerRequested(fileName, refererType) {
            const player = videoPlayerScreen.createObject(null, { fileName: fileName, refererType: refererType })
            view.stack.push(videoPlayerView, { controller: player, stack: view.stack })
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title.length > 0 ? view.controller.title : qsTr("Видео")
            actionText: view.controller.hasSelfButton ? qsTr("Свои") : ""
            onBack: view.stack.pop()
            onAction: view.controller.setSelfId()
        }

        // The quality and sort selectors open above the field while it is being edited.
        Item {
            objectName: "selectorsView"
            Layout.fillWidth: true
            Layout.preferredHeight: view.controller.hasSelectors && view.controller.selectorsVisible
                                    ? view.controller.selectorsHeight : 0
            clip: true
            Behavior on Layout.preferredHeight { NumberAnimation { duration: 500 } }
            ColumnLayout {
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                anchors.topMargin: 2
                spacing: 1
                TabBar {
                    objectName: "qualitySelector"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 38
                    currentIndex: view.controller.qualityIndex
                    onCurrentIndexChanged: view.controller.qualityIndex = currentIndex
                    Repeater {
                        model: ["240+", "360+", "480+", "720"]
                        // Choosing a segment leaves the field in focus, so the selectors stay open.
                        TabButton { text: modelData; focusPolicy: Qt.NoFocus; objectName: "quality" + index }
                    }
                }
                TabBar {
                    objectName: "sortSelector"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 38
                    enabled: view.controller.sortEnabled
                    currentIndex: view.controller.sortIndex
                    onCurrentIndexChanged: view.controller.sortIndex = currentIndex
                    Repeater {
                        model: [qsTr("Лучшие"), qsTr("Длинные"), qsTr("Новые")]
                        TabButton { text: modelData; focusPolicy: Qt.NoFocus; objectName: "sort" + index }
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 8
            spacing: 6
            TextField {
                id: searchBar
                objectName: "searchBar"
                Layout.fillWidth: true
                placeholderText: view.controller.placeholder.length > 0 ? view.controller.placeholder
                               : (view.controller.kind === 0 ? qsTr("Название видеозаписи") : qsTr("ID группы"))
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
                focusPolicy: Qt.NoFocus
                onClicked: view.controller.searchBarSearchButtonClicked()
            }
            ToolButton {
                objectName: "clearButton"
                text: qsTr("Очистить")
                focusPolicy: Qt.NoFocus
                visible: table.count > 0
                onClicked: view.controller.clearRecordsTable()
            }
        }

        ListView {
            id: table
            objectName: "videoTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: view.controller.records
            ScrollBar.vertical: ScrollBar {}
            delegate: ItemDelegate {
                id: row
                objectName: "videoRow" + index
                width: ListView.view.width
                height: 78
                Component.onCompleted: view.controller.cellShown(index)
                onClicked: view.controller.rowSelected(index)
                background: Rectangle {
                    color: model.watched ? view.controller.watchedRowColor
                                         : (row.hovered ? "#f3f5f8" : "transparent")
                }
                contentItem: RowLayout {
                    spacing: 10
                    CachedImage {
                        objectName: "videoPreview"
                        Layout.preferredWidth: 112
                        Layout.preferredHeight: 63
                        source: model.thumbnail
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 4
                        Label {
                            objectName: "videoName"
                            Layout.fillWidth: true
                            text: model.title
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                            font.pixelSize: 14
                            font.bold: true
                        }
                        RowLayout {
                            spacing: 8
                            Label {
                                objectName: "videoDuration"
                                text: model.duration
                                color: "#666666"
                                font.pixelSize: 12
                            }
                            Label {
                                objectName: "videoQuality"
                                visible: text.length > 0
                                text: model.quality
                                color: "#4a76a8"
                                font.pixelSize: 12
                                font.bold: true
                            }
                        }
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
