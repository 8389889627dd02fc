import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

// The navigation of a wide window: the program's name and its sections, the queue's badge on the one `badgeIndex` names.
Pane {
    id: sidebar
    property var names: []
    property var icons: []
    property int current: 0
    // The entry that carries the download queue's badge.
    property int badgeIndex: -1
    signal selected(int index)

    padding: 0
    Material.elevation: 1
    Accessible.role: Accessible.PageTabList
    Accessible.name: qsTr("Разделы")

    ColumnLayout {
        anchors.fill: parent
        spacing: 2

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 16
            spacing: 10
            Image {
                source: "qrc:/icons/melodrop.svg"
                sourceSize.width: 32
                sourceSize.height: 32
                Accessible.ignored: true
            }
            Label {
                Layout.fillWidth: true
                text: "Melodrop"
                font.pixelSize: 20
                font.bold: true
                elide: Text.ElideRight
            }
        }

        Repeater {
            model: sidebar.names
            ItemDelegate {
                id: entry
                required property int index
                required property string modelData
                objectName: "sidebarSection" + entry.index
                Layout.fillWidth: true
                Layout.leftMargin: 8
                Layout.rightMargin: 8
                highlighted: entry.index === sidebar.current
                focusPolicy: Qt.StrongFocus
                Accessible.role: Accessible.PageTab
                Accessible.name: entry.modelData + (entry.index === sidebar.badgeIndex && Shell.queueBadge > 0 ? " (" + Shell.queueBadge + ")" : "")
                onClicked: sidebar.selected(entry.index)
                contentItem: RowLayout {
                    spacing: 12
                    Icon {
                        glyph: sidebar.icons[entry.index]
                        color: entry.highlighted ? entry.Material.accentColor : entry.Material.foreground
                    }
                    Label {
                        Layout.fillWidth: true
                        text: entry.modelData
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.pixelSize: 15
                        color: entry.highlighted ? entry.Material.accentColor : entry.Material.foreground
                    }
                    QueueBadge {
                        visible: entry.index === sidebar.badgeIndex && Shell.queueBadge > 0
                        count: Shell.queueBadge
                    }
                }
            }
        }
        Item { Layout.fillHeight: true }
        Label {
            Layout.fillWidth: true
            Layout.margins: 12
            text: qsTr("Ctrl+1…4 — разделы, Ctrl+, — настройки, Ctrl+F — поиск, Пробел — пауза")
            wrapMode: Text.WordWrap
            font.pixelSize: 11
            color: Material.hintTextColor
        }
    }
}
