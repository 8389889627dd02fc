import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// One video result screen: the quality and sort selectors (search), the search field, the table with a
// preview picture per row, the overlay and the quality choice. The player it leads to covers the whole window.
ResultsView {
    id: view
    // The controller as the screen it is.
    readonly property VideoResults screen: view.controller as VideoResults
    readonly property bool narrow: width < 520
    // The selectors' captions share one column, as wide as the longer of them.
    readonly property real selectorCaptionWidth: Math.max(qualityCaption.implicitWidth, sortCaption.implicitWidth)

    defaultTitle: qsTr("Видео")
    actionText: view.screen.hasSelfButton ? qsTr("Свои") : ""
    onAction: view.screen.setSelfId()
    searchHint: view.screen.placeholder.length > 0 ? view.screen.placeholder
        : (view.screen.kind === RecordResultsScreen.Search ? qsTr("Название видеозаписи") : qsTr("ID группы"))
    searchInputHints: view.screen.kind === RecordResultsScreen.Search ? Qt.ImhNone : Qt.ImhDigitsOnly
    tableName: "videoTable"
    rows: view.screen.records
    emptyText: qsTr("Нет записей")
    hasRowMenu: true
    function rowActions(index) {
        return [{ id: "watch", text: qsTr("Смотреть"), icon: "play", run: () => view.screen.rowSelected(index) },
                { id: "queue", text: qsTr("В очередь загрузок"), icon: "download",
                  run: () => view.screen.accessoryButtonTapped(index) }]
    }

    Component { id: videoPlayerScreen; Video_Player {} }

    Connections {
        target: view.screen
        function onVideoPlayerRequested(fileName, refererType, title) {
            const player = videoPlayerScreen.createObject(null, { fileName: fileName, refererType: refererType, title: title })
            // The window shows it over everything, sidebar and bars included.
            const window = view.ApplicationWindow.window as Main
            if (window)
                window.openVideoPlayer(player)
            else
                player.destroy()
        }
    }

    // The quality and sort selectors open above the field while it is being edited.
    aboveField: Item {
        objectName: "selectorsView"
        Layout.fillWidth: true
        Layout.preferredHeight: view.screen.hasSelectors && view.screen.selectorsVisible
                                ? view.screen.selectorsHeight : 0
        clip: true
        Behavior on Layout.preferredHeight { NumberAnimation { duration: 500 } }
        ColumnLayout {
            visible: parent.height > 0
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            anchors.topMargin: 2
            spacing: 1
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Label {
                    id: qualityCaption
                    Layout.preferredWidth: view.selectorCaptionWidth
                    text: qsTr("Качество")
                    color: Material.secondaryTextColor
                    font.pixelSize: 12
                }
                TabBar {
                    objectName: "qualitySelector"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 38
                    Accessible.name: qsTr("Качество")
                    currentIndex: view.screen.qualityIndex
                    onCurrentIndexChanged: view.screen.qualityIndex = currentIndex
                    Repeater {
                        model: ["240+", "360+", "480+", "720"]
                        // Choosing a segment leaves the field in focus, so the selectors stay open. As
                        // high as the bar, so that the mark under the chosen segment shows.
                        TabButton {
                            id: qualityButton
                            required property int index
                            required property string modelData
                            objectName: "quality" + qualityButton.index
                            text: qualityButton.modelData
                            implicitHeight: 38
                            focusPolicy: Qt.NoFocus
                        }
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Label {
                    id: sortCaption
                    Layout.preferredWidth: view.selectorCaptionWidth
                    text: qsTr("Порядок")
                    color: Material.secondaryTextColor
                    font.pixelSize: 12
                }
                TabBar {
                    objectName: "sortSelector"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 38
                    Accessible.name: qsTr("Порядок")
                    enabled: view.screen.sortEnabled
                    currentIndex: view.screen.sortIndex
                    onCurrentIndexChanged: view.screen.sortIndex = currentIndex
                    Repeater {
                        model: [qsTr("Лучшие"), qsTr("Длинные"), qsTr("Новые")]
                        TabButton {
                            id: sortButton
                            required property int index
                            required property string modelData
                            objectName: "sort" + sortButton.index
                            text: sortButton.modelData
                            implicitHeight: 38
                            focusPolicy: Qt.NoFocus
                        }
                    }
                }
            }
        }
    }

    besideSearchButton: ToolButton {
        objectName: "clearButton"
        text: view.narrow ? "" : qsTr("Очистить")
        icon.name: "edit-delete"
        icon.source: "qrc:/icons/delete.svg"
        display: view.narrow ? AbstractButton.IconOnly : AbstractButton.TextBesideIcon
        Accessible.name: qsTr("Очистить")
        ToolTip.visible: view.narrow && hovered
        ToolTip.text: Accessible.name
        focusPolicy: Qt.NoFocus
        visible: view.listView.count > 0
        onClicked: view.screen.clearRecordsTable()
    }

    // Drawn over the rows' own backgrounds, so that the keyboard's row shows on the watched one too.
    highlight: Item {
        z: 2
        Rectangle {
            anchors.fill: parent
            color: "transparent"
            border.width: view.listView.activeFocus ? 2 : 0
            border.color: Material.accentColor
        }
    }

    rowDelegate: ItemDelegate {
        id: row
        required property int index
        required property var model
        objectName: "videoRow" + row.index
        width: ListView.view.width
        height: view.narrow ? 72 : 78
        // The watched row keeps its light colour in either theme; its text stays dark on it.
        readonly property color textColor: row.model.watched ? "#1d2733" : Material.foreground
        readonly property color secondaryColor: row.model.watched ? "#4d5866" : Material.secondaryTextColor
        Accessible.role: Accessible.ListItem
        Accessible.focusable: true
        Accessible.selectable: true
        Accessible.selected: ListView.isCurrentItem
        Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
        Accessible.name: row.model.title + ", " + row.model.duration + (row.model.quality.length > 0 ? ", " + row.model.quality : "")
        Component.onCompleted: view.screen.cellShown(row.index)
        onClicked: view.activate(row.index)
        // The right button opens the row's menu and nothing else (the row's own click is the left button's).
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.RightButton
            onClicked: (mouse) => view.openRowMenu(row, mouse.x, mouse.y, row.index)
        }
        background: Rectangle {
            color: row.model.watched ? view.screen.watchedRowColor
                                 : (row.hovered ? Qt.alpha(row.Material.foreground, 0.05) : "transparent")
        }
        contentItem: RowLayout {
            spacing: view.narrow ? 8 : 10
            CachedImage {
                objectName: "videoPreview"
                Layout.preferredWidth: view.narrow ? 96 : 112
                Layout.preferredHeight: view.narrow ? 54 : 63
                source: row.model.thumbnail
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 4
                Label {
                    objectName: "videoName"
                    Layout.fillWidth: true
                    text: row.model.title
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    font.pixelSize: 14
                    font.bold: true
                    color: row.textColor
                }
                RowLayout {
                    spacing: 8
                    Label {
                        objectName: "videoDuration"
                        text: row.model.duration
                        textFormat: Text.PlainText
                        color: row.secondaryColor
                        font.pixelSize: 12
                    }
                    Label {
                        objectName: "videoQuality"
                        visible: text.length > 0
                        text: row.model.quality
                        textFormat: Text.PlainText
                        color: row.model.watched ? "#3b6494" : row.Material.accentColor
                        font.pixelSize: 12
                        font.bold: true
                    }
                }
            }
            ToolButton {
                objectName: "queueButton"
                icon.name: "document-save"
                icon.source: "qrc:/icons/download.svg"
                icon.color: row.model.watched ? "#3b6494" : row.Material.foreground
                onClicked: view.screen.accessoryButtonTapped(row.index)
                Accessible.name: qsTr("В очередь загрузок")
                ToolTip.visible: hovered
                ToolTip.text: Accessible.name
            }
        }
    }
}
