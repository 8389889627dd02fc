import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Dialogs
import QtQuick.Layouts
import Melodrop

// The settings page: groups of options, each drawn from SettingsPage and handed back to it as changed.
Page {
    id: view
    objectName: "settingsView"
    readonly property SettingsPage controller: page
    // Wide enough for the label and its control side by side; narrower windows stack them.
    readonly property bool roomy: width >= 560

    SettingsPage {
        id: page
        objectName: "settingsPage"
        onAlertRequested: (title, message, buttons, tag) => alert.ask(title, message, buttons, tag)
    }

    header: ToolBar {
        Material.background: "transparent"
        Material.elevation: 0
        Label {
            // Lined up with the column of groups below, which is centred on wide windows.
            readonly property real columnWidth: Math.min(view.width - 48, 760)
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            x: Math.max(24, (view.width - columnWidth) / 2)
            verticalAlignment: Text.AlignVCenter
            text: qsTr("Настройки")
            font.pixelSize: 22
            font.bold: true
        }
    }

    component Group: ColumnLayout {
        property alias title: heading.text
        default property alias rows: body.data
        Layout.fillWidth: true
        spacing: 4
        Label {
            id: heading
            Layout.topMargin: 12
            font.pixelSize: 13
            font.bold: true
            font.capitalization: Font.AllUppercase
            color: Material.accentColor
        }
        Pane {
            Layout.fillWidth: true
            padding: 0
            Material.elevation: 1
            ColumnLayout {
                id: body
                anchors.left: parent.left
                anchors.right: parent.right
                spacing: 0
            }
        }
    }
    // One option: its name and, below, what it does; the switch on the right. The switch shows what is stored
    // (never toggling itself), so that a value written elsewhere shows too.
    component SwitchRow: SwitchDelegate {
        id: row
        property string hint
        signal flipped(bool on)
        Layout.fillWidth: true
        leftPadding: 16
        rightPadding: 16
        checkable: false
        onClicked: row.flipped(!row.checked)
        contentItem: ColumnLayout {
            spacing: 2
            Label {
                Layout.fillWidth: true
                Layout.rightMargin: row.indicator.width + 16
                text: row.text
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 15
            }
            Label {
                Layout.fillWidth: true
                Layout.rightMargin: row.indicator.width + 16
                visible: text.length > 0
                text: row.hint
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 12
                color: Material.hintTextColor
            }
        }
    }
    // Three or so choices in a row (a column on narrow windows).
    component ChoiceRow: ColumnLayout {
        id: choice
        property string label
        property var options: []
        property int current: 0
        property string name
        signal chosen(int index)
        Layout.fillWidth: true
        Layout.margins: 16
        spacing: 4
        Label {
            text: choice.label
            textFormat: Text.PlainText
            font.pixelSize: 15
        }
        Flow {
            Layout.fillWidth: true
            spacing: 8
            Repeater {
                model: choice.options
                RadioButton {
                    id: option
                    required property int index
                    required property string modelData
                    objectName: choice.name + option.index
                    text: option.modelData
                    checkable: false
                    checked: option.index === choice.current
                    onClicked: choice.chosen(option.index)
                }
            }
        }
    }

    ScrollView {
        anchors.fill: parent
        contentWidth: availableWidth

        ColumnLayout {
            width: Math.min(parent.width - 48, 760)
            x: Math.max(24, (parent.width - width) / 2)
            spacing: 8

            Group {
                title: qsTr("Файлы")
                GridLayout {
                    Layout.fillWidth: true
                    Layout.margins: 16
                    columns: view.roomy ? 2 : 1
                    columnSpacing: 12
                    rowSpacing: 4
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 2
                        Label {
                            text: qsTr("Папка документов")
                            font.pixelSize: 15
                        }
                        Label {
                            objectName: "documentsFolder"
                            Layout.fillWidth: true
                            text: page.documentsFolder
                            textFormat: Text.PlainText
                            elide: Text.ElideMiddle
                            font.pixelSize: 12
                            color: Material.hintTextColor
                        }
                    }
                    Button {
                        objectName: "chooseDocumentsFolder"
                        text: qsTr("Изменить…")
                        flat: true
                        onClicked: folderDialog.open()
                    }
                }
                SwitchRow {
                    objectName: "moveToTrash"
                    text: qsTr("Удалять в корзину")
                    hint: qsTr("Удалённые файлы медиатеки можно вернуть")
                    checked: page.moveToTrash
                    onFlipped: (on) => page.moveToTrash = on
                }
            }

            Group {
                title: qsTr("Видео")
                RowLayout {
                    Layout.fillWidth: true
                    Layout.margins: 16
                    spacing: 12
                    Label {
                        Layout.fillWidth: true
                        text: qsTr("Качество по умолчанию")
                        font.pixelSize: 15
                        wrapMode: Text.Wrap
                    }
                    ComboBox {
                        objectName: "videoQuality"
                        Layout.preferredWidth: 160
                        model: page.videoQualityLabels
                        currentIndex: page.videoQualityIndex
                        onActivated: (index) => page.videoQualityIndex = index
                    }
                }
                SwitchRow {
                    objectName: "askQuality"
                    text: qsTr("Спрашивать качество каждый раз")
                    checked: page.askQuality
                    onFlipped: (on) => page.askQuality = on
                }
            }

            Group {
                title: qsTr("Воспроизведение")
                SwitchRow {
                    objectName: "autopause"
                    text: qsTr("Пауза при отключении наушников")
                    checked: page.autopause
                    onFlipped: (on) => page.autopause = on
                }
                SwitchRow {
                    objectName: "notifyTrackChange"
                    text: qsTr("Уведомлять о смене трека")
                    hint: qsTr("Название, исполнитель и обложка в уведомлении рабочего стола")
                    checked: page.notifyTrackChange
                    onFlipped: (on) => page.notifyTrackChange = on
                }
                ChoiceRow {
                    name: "replayGain"
                    label: qsTr("Выравнивание громкости (ReplayGain)")
                    options: page.replayGainLabels
                    current: page.replayGainIndex
                    onChosen: (index) => page.replayGainIndex = index
                }
            }

            Group {
                title: qsTr("Вход и меню")
                SwitchRow {
                    objectName: "autoLogin"
                    text: qsTr("Входить автоматически")
                    hint: qsTr("При запуске — с сохранёнными e-mail и паролем")
                    checked: page.autoLogin
                    onFlipped: (on) => page.autoLogin = on
                }
                SwitchRow {
                    objectName: "countAudio"
                    text: qsTr("Считать аудиофайлы в меню")
                    checked: page.countAudio
                    onFlipped: (on) => page.countAudio = on
                }
                SwitchRow {
                    objectName: "countVideo"
                    text: qsTr("Считать видеофайлы в меню")
                    checked: page.countVideo
                    onFlipped: (on) => page.countVideo = on
                }
            }

            Group {
                title: qsTr("Оформление")
                ChoiceRow {
                    name: "colorScheme"
                    label: qsTr("Цветовая схема")
                    options: page.colorSchemeLabels
                    current: page.colorSchemeIndex
                    onChosen: (index) => page.colorSchemeIndex = index
                }
            }
            Item { Layout.preferredHeight: 16 }
        }
    }

    FolderDialog {
        id: folderDialog
        title: qsTr("Новая папка документов")
        onAccepted: page.chooseDocumentsFolder(String(folderDialog.selectedFolder))
    }
    AlertDialog {
        id: alert
        objectName: "settingsAlert"
        parent: Overlay.overlay
        onAnswered: (tag, index) => page.alertAnswered(tag, index)
    }
    ProgressOverlayView {
        hud: page.hud
    }
}
