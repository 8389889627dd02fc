#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "screens/ProgressOverlay.h"
#include "screens/ScreenLink.h"

class Credentials;
class Settings;

// The login screen: e-mail and password, the one button that signs in or out, the automatic sign-in, the data
// reset and the two notices. Alerts are asked for through alertRequested and answered through
// alertAnswered; the view only draws.
class LoginForm : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString loginInput READ loginInput WRITE setLoginInput NOTIFY loginInputChanged)
    Q_PROPERTY(QString passwordInput READ passwordInput WRITE setPasswordInput NOTIFY passwordInputChanged)
    Q_PROPERTY(bool loginButtonEnabled READ loginButtonEnabled NOTIFY loginButtonEnabledChanged)
    Q_PROPERTY(QString loginButtonImage READ loginButtonImage NOTIFY loginButtonImageChanged)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)
    Q_PROPERTY(QString sessionText READ sessionText NOTIFY sessionTextChanged)
    Q_PROPERTY(QString signInProblem READ signInProblem NOTIFY signInProblemChanged)

public:
    static constexpr int resetChoiceTag = 1;
    // Deleting every downloaded file cannot be undone, so the choice is asked once more.
    static constexpr int deleteContentTag = 3;

    explicit LoginForm(QObject *parent = nullptr);
    // Uses `settings` instead of the program's store (tests).
    explicit LoginForm(Settings *settings, QObject *parent = nullptr);
    ~LoginForm() override;

    QString loginInput() const { return m_loginInput; }
    void setLoginInput(const QString &text);
    QString passwordInput() const { return m_passwordInput; }
    void setPasswordInput(const QString &text);
    bool loginButtonEnabled() const { return m_loginButtonEnabled; }
    QString loginButtonImage() const { return m_loginButtonImage; }
    ProgressOverlay *hud() const { return m_hud; }
    // Who is signed in, for the line under the button; empty when signed out.
    QString sessionText() const;
    // Why the last sign-in failed ("Не удалось выполнить вход: <cause>"), shown on the page until the next
    // attempt; empty after a sign-in or before any.
    QString signInProblem() const { return m_signInProblem; }

    // The view has been loaded: fill the fields, and sign in when "auto_login" is set. The password may come
    // from the desktop's secret store: the field is filled, and the automatic sign-in starts, when it
    // arrives.
    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void loginButtonPressed();
    Q_INVOKABLE void prefsButtonPressed();
    Q_INVOKABLE void infoButtonPressed();
    Q_INVOKABLE void copyrightsButtonPressed();
    Q_INVOKABLE void textFieldReturn();
    // Enter in either field: hides the keyboard, then signs in as the button would, when signed out and the
    // button takes taps; signed in, Enter never signs out.
    Q_INVOKABLE void returnPressed();
    Q_INVOKABLE void alertAnswered(int tag, int index);

Q_SIGNALS:
    void loginInputChanged();
    void passwordInputChanged();
    void loginButtonEnabledChanged();
    void loginButtonImageChanged();
    void hudChanged();
    void sessionTextChanged();
    void signInProblemChanged();
    // Show an alert: no title/message when empty; the answer comes back with `tag` (0: a notice, no answer).
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // The return key of a field: the field gives up the input focus.
    void keyboardDismissed();
    // The sign-in or sign-out has ended and its overlay is gone.
    void operationFinished();

private:
    // Background operations under the overlay `hud`; they reach the screen only through the link.
    using Link = ScreenLink<LoginForm>;
    static void doingVkEnter(const Link &link, Settings &store, ProgressOverlay *hud, const QString &email,
                             const QString &password);
    static void doingVkExit(const Link &link, ProgressOverlay *hud);
    void hudWasHidden();
    // Stops the player and the transfers, then empties the media folders.
    void deleteAllContent();
    static void setLoginButtonImage(const Link &link, const QString &image); // any thread
    Settings &settings() const;
    void passwordRestored(quint64 load, const QString &email, const QString &password);
    void setSignInProblem(const QString &cause);

    Settings *m_settings = nullptr;
    Credentials *m_credentials = nullptr;
    // Which view load a restored password belongs to; a reset or a later load makes older answers stale.
    quint64 m_load = 0;
    // Edits of the password field, so that a password arriving late does not overwrite what was typed.
    quint64 m_passwordEdits = 0;
    quint64 m_passwordEditsAtLoad = 0;
    bool m_autoLoginPending = false;
    QString m_loginInput;
    QString m_passwordInput;
    QString m_signInProblem;
    bool m_loginButtonEnabled = true;
    QString m_loginButtonImage = QStringLiteral("Login_button.png");
    QPointer<ProgressOverlay> m_hud;
};
