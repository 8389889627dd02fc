import QtQuick
import QtQuick.Controls

// A menu row whose screen is not in this version yet.
Page {
    id: page
    property string heading
    property StackView stack
    header: NavigationBar {
        title: page.heading
        onBack: page.stack.pop()
    }
    PendingView {
        anchors.fill: parent
        heading: page.heading
        message: qsTr("Этот раздел появится в следующей версии Melodrop.")
    }
}
