import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
import QtQuick.Layouts
import Melodrop

Item {
    id: view
    property alias form: loginForm
    // A sign-in has ended with a session: the window moves on to the music.
    signal signedIn()

    // The first control a user of this page wants: the e-mail field, or the button once signed in.
    readonly property Item firstControl: loginInput.enabled ? loginInput as Item : loginButton as Item

    LoginForm {
        id: loginForm
        objectName: "loginForm"
        onAlertRequested: (title, message, buttons, tag) => alert.ask(title, message, buttons, tag)
        onKeyboardDismissed: view.forceActiveFocus()
        onOperationFinished: loginButton.enabled ? loginButton.forceActiveFocus() : loginInput.forceActiveFocus()
    }
    Component.onCompleted: loginForm.viewDidLoad()
    Connections {
        target: loginForm
        function onOperationFinished() {
            if (loginForm.loginButtonImage === "Logout_button.png") {
                view.signedIn()
            } else if (view.visible && loginForm.signInProblem.length > 0 && loginInput.text.length > 0) {
                // Most often a mistyped password: it is selected, ready to be typed again.
                passwordInput.forceActiveFocus()
                passwordInput.selectAll()
            } else if (view.visible) {
                // Signed out: the e-mail field takes the typing again.
                loginInput.forceActiveFocus()
            }
        }
    }

    Flickable {
        id: scroller
        anchors.fill: parent
        contentHeight: column.implicitHeight + 48
        clip: true

        ColumnLayout {
            id: column
            // A readable column in a wide window, the whole width in a narrow one.
            width: Math.min(scroller.width - 48, 440)
            x: (scroller.width - width) / 2
            y: 24
            spacing: 14

            Label {
                Layout.fillWidth: true
                Layout.topMargin: 24
                text: "Melodrop"
                font.pixelSize: 34
                font.bold: true
                color: Material.accentColor
                horizontalAlignment: Text.AlignHCenter
            }
            Label {
                Layout.fillWidth: true
                text: qsTr("Музыка и видео ВКонтакте")
                color: Material.secondaryTextColor
                horizontalAlignment: Text.AlignHCenter
                Layout.bottomMargin: 12
            }
            TextField {
                id: loginInput
                objectName: "loginInput"
                Layout.fillWidth: true
                placeholderText: qsTr("E-mail")
                Accessible.name: placeholderText
                inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
                // The hands are on the keyboard when the page opens: typing starts in the e-mail field.
                focus: true
                text: loginForm.loginInput
                onTextEdited: loginForm.loginInput = text
                onAccepted: loginForm.returnPressed()
                enabled: loginForm.loginButtonImage === "Login_button.png"
            }
            TextField {
                id: passwordInput
                objectName: "passwordInput"
                Layout.fillWidth: true
                placeholderText: qsTr("Пароль")
                Accessible.name: placeholderText
                echoMode: TextInput.Password
                Accessible.passwordEdit: true
                text: loginForm.passwordInput
                onTextEdited: loginForm.passwordInput = text
                onAccepted: loginForm.returnPressed()
                enabled: loginForm.loginButtonImage === "Login_button.png"
            }
            Button {
                id: loginButton
                objectName: "loginButton"
                Layout.fillWidth: true
                highlighted: true
                enabled: loginForm.loginButtonEnabled
                text: loginForm.loginButtonImage === "Logout_button.png" ? qsTr("Выйти") : qsTr("Войти")
                onClicked: loginForm.loginButtonPressed()
            }
            Label {
                // Why the last sign-in failed; stays until the next attempt.
                objectName: "signInProblem"
                Layout.fillWidth: true
                visible: text.length > 0
                text: loginForm.signInProblem
                textFormat: Text.PlainText
                wrapMode: Text.WordWrap
                color: Material.theme === Material.Dark ? "#ef9a9a" : "#c62828"
                horizontalAlignment: Text.AlignHCenter
            }
            // The sign-in notice, announced by a screen reader as it appears (a Label keeps its own role).
            Item {
                Layout.fillWidth: true
                implicitHeight: sessionLabel.implicitHeight
                visible: loginForm.sessionText.length > 0
                Accessible.role: Accessible.AlertMessage
                Accessible.name: sessionLabel.text
                Label {
                    id: sessionLabel
                    objectName: "sessionText"
                    width: parent.width
                    text: loginForm.sessionText
                    textFormat: Text.PlainText
                    color: Material.theme === Material.Dark ? "#81c784" : "#2e7d32"
                    horizontalAlignment: Text.AlignHCenter
                    Accessible.ignored: true
                }
            }
            Label {
                Layout.fillWidth: true
                visible: Shell.sandboxHint.length > 0
                text: Shell.sandboxHint
                textFormat: Text.PlainText
                wrapMode: Text.WordWrap
                font.pixelSize: 12
                color: Material.hintTextColor
                horizontalAlignment: Text.AlignHCenter
            }
            Item { Layout.preferredHeight: 24 }
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Button {
                    objectName: "infoButton"
                    text: qsTr("О программе")
                    flat: true
                    onClicked: loginForm.infoButtonPressed()
                }
                Item { Layout.fillWidth: true }
                Button {
                    objectName: "prefsButton"
                    text: qsTr("Сброс данных")
                    flat: true
                    onClicked: loginForm.prefsButtonPressed()
                }
            }
            Button {
                objectName: "copyrightsButton"
                Layout.alignment: Qt.AlignHCenter
                text: qsTr("Правообладателям")
                flat: true
                font.pixelSize: 12
                onClicked: loginForm.copyrightsButtonPressed()
            }
        }
    }

    ProgressOverlayView {
        anchors.fill: parent
        hud: loginForm.hud
    }

    AlertDialog {
        id: alert
        objectName: "alert"
        parent: Overlay.overlay
        onAnswered: (tag, index) => loginForm.alertAnswered(tag, index)
    }
}
