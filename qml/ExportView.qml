import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The audio or video export screen (Audio_Export / Video_Export): browse the folder, pick a file, hand it to a
// program or to an e-mail.
Item {
    id: view
    property var controller
    property StackView stack

    // The controller belongs to whoever opened the view (one per tab), so that the folder is kept between visits.
    StackView.onActivating: controller.viewWillAppear()
    // The screen was made for this opening and goes with it.
    StackView.onRemoved: controller.destroy()

    Connections {
        target: view.controller
        function onAlertRequested(title, message, buttons, tag) {
            alert.ask(title, message, buttons, tag)
        }
        function onScrollToRow(row, position, animated) {
            table.positionViewAtIndex(row, position === LibraryBrowser.Top ? ListView.Beginning : ListView.Center)
        }
        function onSlideRequested(from) {
            table.slideFrom(from)
        }
        function onActionSheetRequested(buttons, cancelButton) {
            sheet.buttons = buttons
            sheet.cancelButton = cancelButton
            sheet.open()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        NavigationBar {
            Layout.fillWidth: true
            title: view.controller.title
            actionIcon: "refresh"
            actionName: qsTr("Обновить")
            onBack: view.controller.backButtonVisible ? view.controller.toParentFolder() : view.stack.pop()
            onAction: view.controller.reloadLibrary()
        }

        FolderList {
            id: table
            objectName: "exportTable"
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: view.controller.entries

            delegate: ItemDelegate {
                id: row
                required property int index
                required property var model
                width: ListView.view.width
                height: 56
                onClicked: view.controller.rowSelected(row.index)
                Accessible.role: Accessible.ListItem
                Accessible.focusable: true
                Accessible.selectable: true
                Accessible.selected: ListView.isCurrentItem
                Accessible.focused: ListView.isCurrentItem && ListView.view.activeFocus
                Accessible.name: row.model.name + (row.model.detail.length > 0 ? ", " + row.model.detail : "")
                contentItem: RowLayout {
                    spacing: 10
                    EntryIcon {
                        folder: row.model.folder
                        audio: view.controller.audio
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            Layout.fillWidth: true
                            text: row.model.name
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.family: "Helvetica"
                            font.pixelSize: 15
                        }
                        Label {
                            Layout.fillWidth: true
                            visible: text.length > 0
                            text: row.model.detail
                            textFormat: Text.PlainText
                            color: Material.secondaryTextColor
                            font.family: "Helvetica"
                            font.pixelSize: 12
                        }
                    }
                    Label {
                        visible: row.model.folder
                        text: "›"
                        font.pixelSize: 22
                        color: Material.hintTextColor
                    }
                }
            }

            Label {
                anchors.centerIn: parent
                visible: table.count === 0
                text: qsTr("Нет файлов")
                color: Material.hintTextColor
            }
        }
    }

    // The choice sheet: one button per choice, the cancel button last; indices go back as the controller gave them.
    Dialog {
        id: sheet
        objectName: "exportSheet"
        property var buttons: []
        property string cancelButton
        parent: Overlay.overlay
        modal: true
        Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.5) }
        // Escape is its cancel button.
        focus: true
        closePolicy: Popup.CloseOnEscape
        property bool answered: false
        onAboutToShow: answered = false
        onClosed: if (!answered) view.controller.actionSheetClickedButtonAtIndex(sheet.buttons.length)
        width: parent ? Math.min(parent.width - 20, 400) : 320
        x: parent ? (parent.width - width) / 2 : 0
        y: parent ? parent.height - height - 10 : 0
        contentItem: ColumnLayout {
            spacing: 6
            Repeater {
                model: sheet.buttons
                PlainButton {
                    id: sheetButton
                    required property int index
                    required property string modelData
                    objectName: "sheetButton" + sheetButton.index
                    Layout.fillWidth: true
                    text: sheetButton.modelData
                    onClicked: {
                        sheet.answered = true
                        sheet.close()
                        view.controller.actionSheetClickedButtonAtIndex(sheetButton.index)
                    }
                }
            }
            PlainButton {
                objectName: "sheetCancelButton"
                Layout.fillWidth: true
                flat: true
                text: sheet.cancelButton
                onClicked: {
                    sheet.answered = true
                    sheet.close()
                    view.controller.actionSheetClickedButtonAtIndex(sheet.buttons.length)
                }
            }
        }
    }

    AlertDialog {
        id: alert
        parent: Overlay.overlay
    }
}
