import QtQuick
import QtQuick.Controls.impl
import QtQuick.Controls.Material

// One of the program's monochrome icons (qrc:/icons/GLYPH.svg), tinted with the text colour unless told.
IconImage {
    property string glyph
    source: glyph.length > 0 ? "qrc:/icons/" + glyph + ".svg" : ""
    sourceSize.width: 24
    sourceSize.height: 24
    color: Material.foreground
}
