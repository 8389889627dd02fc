import QtQuick
import QtQuick.Controls.Material

// The icon of a library row: a folder, a note or a film frame.
Icon {
    property bool folder
    property bool audio
    glyph: folder ? "folder" : (audio ? "audio" : "video")
    color: folder ? "#d9a030" : Material.accentColor
}
