#include "screens/LoginForm.h"

#include "core/DataReset.h"
#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "desktop/Credentials.h"
#include "downloads/DownloadQueue.h"
#include "library/LibraryStore.h"
#include "playback/AudioPlayer.h"
#include "screens/Audio_Playlist.h"
#include "screens/ProgressOverlay.h"
#include "service/Session.h"

#include <QCoreApplication>

namespace {

// The localisation table's texts for the two notices; other keys show as they are.
QString noticeText(const char *key)
{
    // A translation of the key is the notice itself; without one the built-in Russian text is shown.
    const QString translated = QCoreApplication::translate("LoginForm", key);
    if (translated != QString::fromUtf8(key))
        return translated;
    const QString k = QString::fromUtf8(key);
    if (k == QStringLiteral("Авторы:"))
        return QStringLiteral("Авторы:\nКоманда Melodrop\n\nКлиент музыки и видео ВКонтакте для Linux.\n"
                              "Qt, libcurl, libxml2, libmpv и libplist — с благодарностью их авторам.");
    if (k == QStringLiteral("Для копирайтеров"))
        return QStringLiteral(
            "Для копирайтеров\n\nMelodrop не хранит и не распространяет чужие записи: программа "
            "показывает то, что открыто на сайте сервиса его пользователям. Правообладатели могут "
            "добавить запросы в список ограниченных поиском, написав разработчикам.");
    return QCoreApplication::translate("LoginForm", key);
}

} // namespace

LoginForm::LoginForm(QObject *parent) : LoginForm(nullptr, parent) {}

LoginForm::LoginForm(Settings *settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_credentials(new Credentials(settings, this))
{}

LoginForm::~LoginForm() = default;

Settings &LoginForm::settings() const
{
    return m_settings ? *m_settings : Settings::shared();
}

void LoginForm::setLoginInput(const QString &text)
{
    if (text == m_loginInput)
        return;
    m_loginInput = text;
    Q_EMIT loginInputChanged();
}

void LoginForm::setPasswordInput(const QString &text)
{
    if (text == m_passwordInput)
        return;
    ++m_passwordEdits;
    m_passwordInput = text;
    Q_EMIT passwordInputChanged();
}

void LoginForm::viewDidLoad()
{
    const quint64 load = ++m_load;
    const QString email = settings().stringValue(QStringLiteral("settings_login"));
    setLoginInput(email);
    m_passwordEditsAtLoad = m_passwordEdits;
    m_autoLoginPending = settings().boolValue(QStringLiteral("auto_login"), false);
    if (m_autoLoginPending)
        Log::line(QStringLiteral("Автологин включен"));
    m_credentials->restore(
        email, [this, load, email](const QString &password) { passwordRestored(load, email, password); });
}

void LoginForm::passwordRestored(quint64 load, const QString &email, const QString &password)
{
    if (load != m_load)
        return;
    // Typed meanwhile: the user's text wins, and the password found may belong to another account.
    if (m_passwordEdits == m_passwordEditsAtLoad && m_loginInput == email) {
        setPasswordInput(password);
    }
    if (m_autoLoginPending)
        loginButtonPressed(); // exactly as a tap would
}

void LoginForm::loginButtonPressed()
{
    m_autoLoginPending = false; // a tap before the password arrived takes the automatic sign-in's place
    if (!m_loginButtonEnabled)
        return; // the button is disabled while an operation runs
    m_loginButtonEnabled = false;
    Q_EMIT loginButtonEnabledChanged();

    const bool signIn = GlobalData::sharedGlobalData()->vksid().isEmpty();
    m_hud = new ProgressOverlay(this);
    m_hud->setMinShowTime(2.0f);
    m_hud->setLabelText(signIn ? tr("Выполняется вход...") : tr("Выполняется выход..."));
    connect(m_hud, &ProgressOverlay::hudWasHidden, this, &LoginForm::hudWasHidden);
    Q_EMIT hudChanged();
    if (signIn) {
        setSignInProblem(QString()); // a new attempt: the last one's reason goes
        const QString email = m_loginInput;
        const QString password = m_passwordInput;
        ProgressOverlay *hud = m_hud;
        hud->showWhileExecuting([link = Link(this), store = &settings(), hud, email,
                                 password] { doingVkEnter(link, *store, hud, email, password); },
                                true);
    } else {
        ProgressOverlay *hud = m_hud;
        hud->showWhileExecuting([link = Link(this), hud] { doingVkExit(link, hud); }, true);
    }
}

void LoginForm::doingVkEnter(const Link &link, Settings &store, ProgressOverlay *hud, const QString &email,
                             const QString &password)
{
    Pacing::pause(1);
    const QString previousEmail = store.stringValue(QStringLiteral("settings_login"));
    store.setString(QStringLiteral("settings_login"), email);
    // The secret store answers on the main thread's event loop; this thread does not wait for it.
    link.post([email, password, previousEmail](LoginForm &form) {
        form.m_credentials->save(email, password, previousEmail);
    });

    const Session::SignInResult result = Session::signIn(email, password);
    link.post([cause = result.cause](LoginForm &form) { form.setSignInProblem(cause); });
    hud->setMode(ProgressOverlay::CustomView);
    if (result.outcome == Session::SignInResult::Unreachable) {
        hud->setLabelText(tr("Ошибка"));
        hud->setDetailsLabelText(Session::unreachableDetails());
        Pacing::pause(2);
        return;
    }
    if (result.outcome == Session::SignInResult::SignedIn) {
        hud->setLabelText(tr("Готово"));
        hud->setDetailsLabelText(tr("Вход успешно выполнен"));
        setLoginButtonImage(link, QStringLiteral("Logout_button.png"));
    } else {
        hud->setLabelText(tr("Ошибка"));
        hud->setDetailsLabelText(tr("Не удалось выполнить вход"));
    }
    Pacing::pause(1);
}

void LoginForm::setSignInProblem(const QString &cause)
{
    const QString text = cause.isEmpty() ? QString() : tr("Не удалось выполнить вход: %1").arg(cause);
    if (text == m_signInProblem)
        return;
    m_signInProblem = text;
    Q_EMIT signInProblemChanged();
}

void LoginForm::doingVkExit(const Link &link, ProgressOverlay *hud)
{
    Pacing::pause(1);
    Session::signOut();
    hud->setMode(ProgressOverlay::CustomView);
    hud->setLabelText(tr("Готово"));
    hud->setDetailsLabelText(tr("Выход успешно выполнен"));
    setLoginButtonImage(link, QStringLiteral("Login_button.png"));
    Pacing::pause(1);
}

void LoginForm::setLoginButtonImage(const Link &link, const QString &image)
{
    link.post([image](LoginForm &form) {
        if (image == form.m_loginButtonImage)
            return;
        form.m_loginButtonImage = image;
        Q_EMIT form.loginButtonImageChanged();
    });
}

void LoginForm::hudWasHidden()
{
    if (m_hud) {
        ProgressOverlay *hud = m_hud;
        m_hud = nullptr;
        Q_EMIT hudChanged();
        hud->deleteLater();
    }
    m_loginButtonEnabled = true;
    Q_EMIT loginButtonEnabledChanged();
    Q_EMIT sessionTextChanged();
    Q_EMIT operationFinished();
}

QString LoginForm::sessionText() const
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    if (global->vksid().isEmpty())
        return QString();
    if (global->vkuid().isEmpty())
        return tr("Вход выполнен");
    return tr("Вход выполнен, номер пользователя %1").arg(global->vkuid());
}

void LoginForm::prefsButtonPressed()
{
    // A title and a question, so that a screen reader has the dialog's name and text to read.
    Q_EMIT alertRequested(
        tr("Сброс данных"), tr("Очистить настройки и вход или удалить все загруженные записи?"),
        {tr("Отмена"), tr("Очистить все данные"), tr("Удалить весь контент")}, resetChoiceTag);
}

void LoginForm::alertAnswered(int tag, int index)
{
    if (tag == deleteContentTag) {
        if (index == 1)
            deleteAllContent();
        return;
    }
    if (tag != resetChoiceTag)
        return;
    if (index == 1) {
        // The playlist in memory goes too: the next autosave would otherwise write the deleted one back.
        Audio_Playlist::shared()->clearPlaylist();
        DataReset::deletePlaylistsAndRequests(StorageLayout::getRootDir());
        const QString email = settings().stringValue(QStringLiteral("settings_login"));
        settings().setString(QStringLiteral("settings_login"), QString());
        m_credentials->forget(email); // the secret store's entry, and "settings_password"
        ++m_load;                     // a password still on its way stays out of the emptied field
        m_autoLoginPending = false;
        setLoginInput(QString());
        setPasswordInput(QString());
    } else if (index == 2) {
        // Deleting every downloaded file cannot be undone: asked once more.
        Q_EMIT alertRequested(tr("Удалить весь контент"),
                              tr("Все загруженные аудио- и видеозаписи будут удалены с диска."),
                              {tr("Отмена"), tr("Удалить")}, deleteContentTag);
    }
}

void LoginForm::deleteAllContent()
{
    // Nothing may go on using the files: the player lets go of its track, and the transfers end before
    // their files are removed, so that none writes one back or moves a finished file into place after.
    AudioPlayer::dropShared();
    DownloadQueue::whenTransfersStopped([] {
        DataReset::deleteAllContent(StorageLayout::getAudioDir(), StorageLayout::getVideoDir(),
                                    StorageLayout::getInboxDir());
        LibraryStore::audio().pathChanged(StorageLayout::getAudioDir());
        LibraryStore::video().pathChanged(StorageLayout::getVideoDir());
    });
}

void LoginForm::infoButtonPressed()
{
    Q_EMIT alertRequested(QStringLiteral("Melodrop 1.8.1"),
                          noticeText(QT_TRANSLATE_NOOP("LoginForm", "Авторы:")), {tr("Готово")}, 0);
}

void LoginForm::copyrightsButtonPressed()
{
    Q_EMIT alertRequested(QString(), noticeText(QT_TRANSLATE_NOOP("LoginForm", "Для копирайтеров")),
                          {tr("Готово")}, 0);
}

void LoginForm::textFieldReturn()
{
    Q_EMIT keyboardDismissed();
}

void LoginForm::returnPressed()
{
    textFieldReturn();
    if (m_loginButtonEnabled && m_loginButtonImage == QLatin1String("Login_button.png"))
        loginButtonPressed();
}
