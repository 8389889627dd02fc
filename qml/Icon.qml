import QtQuick
import QtQuick.Controls.impl
import QtQuick.Controls.Material

// One of the program's monochrome icons (qrc:/icons/NAME.svg), tinted with the text colour unless told.
IconImage {
    property string name
    source: name.length > 0 ? "qrc:/icons/" + name + ".svg" : ""
    sourceSize.width: 24
    sourceSize.height: 24
    color: Material.foreground
}
