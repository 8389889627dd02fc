#include "../support/FakeMusic.h"
#include "../support/OverlayLog.h"
#include "../support/SandboxSignIn.h"

#include "core/Pacing.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "playback/AudioPlayer.h"
#include "screens/Audio_Playlist.h"
#include "screens/AudioMenu.h"
#include "screens/LoginForm.h"
#include "screens/ProgressOverlay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LoginFormTest : public TestSupport::ServiceSandboxTest
{
protected:
    LoginFormTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath("config/Melodrop.conf"));
        form = std::make_unique<LoginForm>(settings.get());
        overlays.watch(*form);
    }

    // Presses the button as a tap would and waits until the overlay is gone.
    void pressAndWait()
    {
        QSignalSpy finished(form.get(), &LoginForm::operationFinished);
        form->loginButtonPressed();
        ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() > 0; }, 20000));
    }

    void fill(const QString &typedPassword)
    {
        form->setLoginInput(email());
        form->setPasswordInput(typedPassword);
    }
    QString email() const { return QString::fromStdString(Sandbox::defaultAccount().email); }
    QString password() const { return QString::fromStdString(Sandbox::defaultAccount().password); }

    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<LoginForm> form;
    OverlayLog overlays; // what the view would have drawn
};

TEST_F(LoginFormTest, LoadingFillsTheFieldsAndDoesNotSignInByDefault)
{
    settings->setString("settings_login", "me@example.com");
    settings->setString("settings_password", "pw");
    form->viewDidLoad();
    EXPECT_EQ(form->loginInput(), QStringLiteral("me@example.com"));
    EXPECT_EQ(form->passwordInput(), QStringLiteral("pw"));
    EXPECT_TRUE(settings->contains("auto_login"));
    EXPECT_FALSE(settings->boolValue("auto_login", true));
    EXPECT_EQ(form->hud(), nullptr);
    EXPECT_TRUE(form->loginButtonEnabled());
}

TEST_F(LoginFormTest, SignInAndSignOutThroughTheButtonAndEnter)
{
    // A twentieth of the real pace: the pauses and the minimum show time still tell, the suite stays quick.
    const TestSupport::PacingScope pace(0.05);
    fill(password());
    QElapsedTimer clock;
    clock.start();
    form->loginButtonPressed();
    EXPECT_FALSE(form->loginButtonEnabled());
    form->loginButtonPressed(); // ignored while disabled: one operation at a time
    QSignalSpy finished(form.get(), &LoginForm::operationFinished);
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() > 0; }, 20000));
    EXPECT_EQ(finished.count(), 1);

    EXPECT_EQ(overlays.labels, QStringList({"Выполняется вход...", "Готово"}));
    EXPECT_EQ(overlays.details, QStringList({"Вход успешно выполнен"}));
    EXPECT_EQ(overlays.minShowTimes, QList<float>({2.0f}));
    EXPECT_GE(clock.elapsed(), Pacing::milliseconds(2)); // one second before and one after the request
    EXPECT_FALSE(global->vksid().isEmpty());
    EXPECT_EQ(form->loginButtonImage(), QStringLiteral("Logout_button.png"));
    EXPECT_TRUE(form->loginButtonEnabled());
    EXPECT_EQ(form->hud(), nullptr);
    EXPECT_TRUE(form->sessionText().endsWith(QString::fromStdString(Sandbox::defaultAccount().uid)));
    EXPECT_EQ(settings->stringValue("settings_login"), email());
    EXPECT_TRUE(
        TestSupport::waitFor([&] { return settings->stringValue("settings_password") == password(); }));
    // Signed in, Enter only hides the keyboard.
    QSignalSpy dismissed(form.get(), &LoginForm::keyboardDismissed);
    form->returnPressed();
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_EQ(form->hud(), nullptr);

    overlays = {};
    pressAndWait();
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется выход...", "Готово"}));
    EXPECT_EQ(overlays.details, QStringList({"Выход успешно выполнен"}));
    EXPECT_TRUE(global->vksid().isEmpty());
    EXPECT_EQ(form->loginButtonImage(), QStringLiteral("Login_button.png"));
    EXPECT_TRUE(form->sessionText().isEmpty());

    // Signed out, Enter signs in as the button does.
    form->returnPressed();
    EXPECT_EQ(dismissed.count(), 2);
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() == 3; }, 20000));
    EXPECT_FALSE(global->vksid().isEmpty());
    pressAndWait(); // sign out for the next test
}

// A form on the shared settings keeps the password in the shared settings of the moment, also after they were
// replaced while it lived.
TEST_F(LoginFormTest, AFormOnTheSharedSettingsFollowsThemWhenReplaced)
{
    TestSupport::LogCapture log;
    Settings::setSharedPath(root.filePath("first.conf"));
    const auto restore = qScopeGuard([] { Settings::setSharedPath(QString()); });
    LoginForm onShared;
    Settings::setSharedPath(root.filePath("second.conf"));
    // Takes the place the first settings had, so that whatever still pointed there is seen.
    const auto taken = std::make_unique<Settings>(root.filePath("other.conf"));
    onShared.setLoginInput(email());
    onShared.setPasswordInput(password());
    QSignalSpy finished(&onShared, &LoginForm::operationFinished);
    onShared.loginButtonPressed();
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() == 1; }, 20000));
    EXPECT_TRUE(TestSupport::waitFor(
        [&] { return Settings::shared().stringValue("settings_password") == password(); }));
    EXPECT_EQ(log.lines().filter("пароль хранится в файле настроек " + root.filePath("second.conf")).size(),
              1)
        << log.lines().join('\n').toStdString();
    onShared.loginButtonPressed(); // sign out for the next test
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() == 2; }, 20000));
}

// Each failure shows its text. Without a secret store (the test main points the session bus nowhere) every
// password tried stays in the settings file, and the log says so once, never naming the password.
TEST_F(LoginFormTest, FailuresShowTheirTextsAndThePasswordStaysInTheSettingsFile)
{
    TestSupport::LogCapture log;
    fill(QStringLiteral("wrong"));
    pressAndWait();
    EXPECT_EQ(overlays.labels.last(), QStringLiteral("Ошибка"));
    EXPECT_EQ(overlays.details, QStringList({"Не удалось выполнить вход"}));
    EXPECT_EQ(form->loginButtonImage(), QStringLiteral("Login_button.png"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return settings->stringValue("settings_password") == "wrong"; }));
    // The page keeps saying why after the notice has gone.
    EXPECT_TRUE(TestSupport::waitFor([&] {
        return form->signInProblem() ==
               "Не удалось выполнить вход: сервис не открыл сеанс: неверный e-mail или пароль";
    }));

    sandbox.setProbeStatus(500);
    overlays = {};
    pressAndWait();
    EXPECT_EQ(overlays.labels.last(), QStringLiteral("Ошибка"));
    EXPECT_EQ(overlays.details,
              QStringList({ServiceEndpoints::current().webHost + " недоступен на вашем устройстве"}));
    EXPECT_TRUE(TestSupport::waitFor(
        [&] { return form->signInProblem() == "Не удалось выполнить вход: сервис ответил кодом 500"; }));
    EXPECT_TRUE(global->vksid().isEmpty());
    EXPECT_TRUE(form->loginButtonEnabled());

    sandbox.setProbeStatus(200);
    form->setPasswordInput(password());
    pressAndWait();
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return settings->stringValue("settings_password") == password(); }));
    EXPECT_FALSE(global->vksid().isEmpty());
    EXPECT_EQ(log.lines().filter(QStringLiteral("пароль хранится в файле настроек")).size(), 1);
    EXPECT_EQ(log.lines().filter(password()), QStringList());
}

TEST_F(LoginFormTest, ResetChoiceClearsDataOrContentAndTheNotices)
{
    QSignalSpy alerts(form.get(), &LoginForm::alertRequested);
    form->prefsButtonPressed();
    ASSERT_EQ(alerts.count(), 1);
    // Named and worded: a screen reader reads the dialog's title as its name and its text as its description.
    EXPECT_EQ(alerts.at(0),
              QVariantList({"Сброс данных", "Очистить настройки и вход или удалить все загруженные записи?",
                            QStringList({"Отмена", "Очистить все данные", "Удалить весь контент"}), 1}));

    QDir(root.path()).mkpath("audio/sub");
    QDir(root.path()).mkpath("playlists");
    QFile(root.filePath("AudioSearchRequest.tune")).open(QIODevice::WriteOnly);
    QFile(root.filePath("audio/sub/song.mp3")).open(QIODevice::WriteOnly);
    settings->setString("settings_login", "me");
    form->setLoginInput("me");
    form->setPasswordInput("pw");

    form->alertAnswered(1, 0); // cancel
    form->alertAnswered(2, 1); // another alert's answer
    EXPECT_TRUE(QFileInfo::exists(root.filePath("AudioSearchRequest.tune")));
    EXPECT_EQ(form->loginInput(), QStringLiteral("me"));

    Stores::playlist().assignEntries({{"a.mp3", false}, {"b.mp3", true}});
    QPointer<FakeMusic> music = new FakeMusic;
    global->audioPlayer = music;
    form->alertAnswered(1, 1);
    // The playlist in memory goes too: nothing is left for the next autosave to write back.
    EXPECT_TRUE(Stores::playlist().isEmpty());
    EXPECT_EQ(global->audioPlayer, nullptr);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->stops, 1);
    EXPECT_EQ(Audio_Playlist::shared()->title(), QStringLiteral("Аудиоплеер"));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("AudioSearchRequest.tune")));
    EXPECT_TRUE(QFileInfo::exists(root.filePath("audio/sub/song.mp3")));
    EXPECT_TRUE(form->loginInput().isEmpty());
    EXPECT_TRUE(form->passwordInput().isEmpty());
    EXPECT_TRUE(settings->stringValue("settings_login").isEmpty());
    EXPECT_TRUE(settings->contains("settings_login"));

    // Deleting the content is asked once more; only the second answer deletes.
    form->alertAnswered(1, 2);
    ASSERT_EQ(alerts.count(), 2);
    EXPECT_EQ(alerts.at(1).mid(2),
              QVariantList({QStringList({"Отмена", "Удалить"}), LoginForm::deleteContentTag}));
    EXPECT_TRUE(QFileInfo::exists(root.filePath("audio/sub/song.mp3")));
    AudioMenu menu(settings.get());
    menu.viewWillAppear();
    ASSERT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 1; }));
    form->alertAnswered(LoginForm::deleteContentTag, 0);
    EXPECT_TRUE(QFileInfo::exists(root.filePath("audio/sub/song.mp3")));
    form->alertAnswered(LoginForm::deleteContentTag, 1);
    EXPECT_FALSE(QFileInfo::exists(root.filePath("audio/sub")));
    EXPECT_TRUE(QFileInfo::exists(root.filePath("audio")));
    EXPECT_TRUE(QFileInfo::exists(root.filePath("playlists")));
    // The audio menu, not shown again, counts nothing left.
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 0; })) << menu.counter(5);

    alerts.clear();
    form->infoButtonPressed();
    form->copyrightsButtonPressed();
    ASSERT_EQ(alerts.count(), 2);
    EXPECT_TRUE(alerts.at(0).at(1).toString().startsWith(QStringLiteral("Авторы:")));
    EXPECT_EQ(QVariantList({alerts.at(0).at(0), alerts.at(0).at(2), alerts.at(1).at(0), alerts.at(1).at(2)}),
              QVariantList({"Melodrop 1.8.1", QStringList({"Готово"}), QString(), QStringList({"Готово"})}));
}

TEST_F(LoginFormTest, DeleteAllContentStopsThePlayerAndEndsTheTransfersBeforeDeleting)
{
    DownloadQueue::shared().clear();
    Stores::playlist().assignEntries({{"a.mp3", true}});
    QPointer<FakeMusic> music = new FakeMusic;
    global->audioPlayer = music;

    // A slow transfer, well under way.
    sandbox.storageFaults().throttleBytesPerSecond = 20000;
    DownloadQueue &queue = DownloadQueue::shared();
    const QueueItem item{"Slow - Song",
                         QString::fromStdString(sandbox.baseUrl()) + "/storage/bytes/4000000/slow.bin",
                         global->nextFileTag()};
    queue.append(DownloadQueue::Audio, item);
    queue.startAll();
    const QString partial = DownloadQueue::temporaryPath(DownloadQueue::finalPath(item, false), item.tag);
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFileInfo(partial).size() > 0; }, 20000));
    QSignalSpy failed(&queue, &DownloadQueue::itemFailed);

    form->alertAnswered(LoginForm::resetChoiceTag, 2);
    form->alertAnswered(LoginForm::deleteContentTag, 1); // the confirmation
    EXPECT_EQ(global->audioPlayer, nullptr);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->stops, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed.count() == 1; }, 20000));
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return QDir(StorageLayout::getAudioDir()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot); },
        20000));
    EXPECT_TRUE(queue.transferPool()->operations().isEmpty());
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).size(), 1);
    EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).first().state,
              QueueItem::State::Failed);     // can be started again
    EXPECT_EQ(Stores::playlist().size(), 1); // the playlist stays: only the files went
    DownloadQueue::shared().clear();
    Stores::playlist().clear();
}

} // namespace
