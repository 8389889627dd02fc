import QtQuick
import QtQuick.Controls

// A slider as a screen reader presents it: its range, and its value in words (`valueText`, e.g. "2:38 из 3:26").
Slider {
    property string valueText
    // Qt Quick's accessibility reads a slider's range from these two names.
    readonly property real minimumValue: from
    readonly property real maximumValue: to
    // The bridge has no value text of its own; the description carries it.
    Accessible.description: valueText
}
