// The login screen against a real Secret Service: a keyring daemon on the test's own session bus
// (tests/support/with-secret-service.sh). What is in the store is checked with secret-tool, another client of
// the same service, so that the checks do not go through the code under test.
#include "../support/SandboxSignIn.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "screens/LoginForm.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

// secret-tool with `arguments` and `input`, its output in `out`; the event loop turns meanwhile so that the
// product's own answers can arrive. Its exit code, or -1 when it did not run to its end.
int secretTool(const QStringList &arguments, const QByteArray &input = {}, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("secret-tool"), arguments);
    if (!process.waitForStarted(5000))
        return -1;
    process.write(input);
    process.closeWriteChannel();
    if (!TestSupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, 15000) ||
        process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitCode();
}

// The password the Secret Service keeps for `account` under the service "Melodrop", if any.
std::optional<QString> lookup(const QString &account)
{
    QByteArray out;
    if (secretTool({"lookup", "user", account, "server", "Melodrop"}, {}, &out) != 0)
        return std::nullopt;
    return QString::fromUtf8(out);
}

bool store(const QString &account, const QString &secret)
{
    return secretTool(
               {"store", "--label=Melodrop", "user", account, "server", "Melodrop", "type", "plaintext"},
               secret.toUtf8()) == 0;
}

void clear(const QString &account)
{
    secretTool({"clear", "user", account, "server", "Melodrop"});
}

class LoginSecretServiceTest : public TestSupport::ServiceSandboxTest
{
protected:
    LoginSecretServiceTest() : ServiceSandboxTest(false) {}
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("MELODROP_TEST_OWN_BUS"))
            << "run through tests/support/with-secret-service.sh";
    }

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath("config/Melodrop.conf"));
        clear(email());
        clear(otherEmail);
        form = std::make_unique<LoginForm>(settings.get());
    }

    void pressAndWait()
    {
        QSignalSpy finished(form.get(), &LoginForm::operationFinished);
        form->loginButtonPressed();
        ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() > 0; }, 20000));
    }

    // The value of "settings_password" as the settings file has it on disk, for anyone who reads the file.
    QByteArray filedPassword() const
    {
        QFile file(settings->path());
        if (!file.open(QIODevice::ReadOnly))
            return "(no file)";
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("settings_password="))
                return line.mid(qsizetype(std::strlen("settings_password=")));
        }
        return "(no key)";
    }

    QString email() const { return QString::fromStdString(Sandbox::defaultAccount().email); }
    QString password() const { return QString::fromStdString(Sandbox::defaultAccount().password); }

    const QString otherEmail = QStringLiteral("someone.else@melodrop.test");
    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<LoginForm> form;
};

TEST_F(LoginSecretServiceTest, SignInKeepsThePasswordInTheStoreAndNotInTheFile)
{
    // An earlier sign-in as another account left its password; only the last attempt's is kept.
    ASSERT_TRUE(store(otherEmail, "old-password"));
    settings->setString("settings_login", otherEmail);

    form->setLoginInput(email());
    form->setPasswordInput(password());
    pressAndWait();
    ASSERT_FALSE(global->vksid().isEmpty());

    ASSERT_TRUE(TestSupport::waitFor([&] { return lookup(email()) == password(); }));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !lookup(otherEmail); }));
    EXPECT_EQ(settings->stringValue("settings_login"), email());
    EXPECT_EQ(filedPassword(), QByteArray());

    // Signing out keeps the credentials, as it always did.
    pressAndWait();
    EXPECT_TRUE(global->vksid().isEmpty());
    EXPECT_EQ(lookup(email()), password());
}

// A restart with automatic sign-in: the screen loads without waiting for the store (it answers later, on the
// event loop) and signs in once it has answered, with what the field holds by then: what the user typed
// meanwhile, or else the stored secret.
TEST_F(LoginSecretServiceTest, RestartWithAutomaticSignInUsesTheStoredSecretUnlessTheUserTyped)
{
    settings->setString("settings_login", email());
    settings->setBool("auto_login", true);
    for (const QString &typed : {QStringLiteral("typed"), QString()}) {
        SCOPED_TRACE(typed.toStdString());
        ASSERT_TRUE(store(email(), password())); // a sign-in keeps the password it was made with
        LoginForm screen(settings.get());
        TestSupport::LogCapture log;
        QSignalSpy finished(&screen, &LoginForm::operationFinished);
        screen.viewDidLoad();
        EXPECT_EQ(screen.loginInput(), email());
        EXPECT_TRUE(screen.passwordInput().isEmpty());
        EXPECT_EQ(screen.hud(), nullptr);
        EXPECT_EQ(log.lines().value(0), QStringLiteral("Автологин включен"));
        if (!typed.isEmpty())
            screen.setPasswordInput(typed);
        ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() > 0; }, 20000));
        EXPECT_EQ(screen.passwordInput(), typed.isEmpty() ? password() : typed);
        EXPECT_EQ(global->vksid().isEmpty(), !typed.isEmpty());
        EXPECT_EQ(screen.loginButtonImage(),
                  typed.isEmpty() ? QStringLiteral("Logout_button.png") : QStringLiteral("Login_button.png"));
        EXPECT_EQ(log.lines().filter(password()), QStringList());
    }
}

TEST_F(LoginSecretServiceTest, ClearingAllDataDeletesTheSecret)
{
    ASSERT_TRUE(store(email(), password()));
    settings->setString("settings_login", email());
    form->viewDidLoad();
    ASSERT_TRUE(TestSupport::waitFor([&] { return form->passwordInput() == password(); }));

    form->alertAnswered(LoginForm::resetChoiceTag, 1);
    EXPECT_TRUE(form->loginInput().isEmpty());
    EXPECT_TRUE(form->passwordInput().isEmpty());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !lookup(email()); }));
    EXPECT_TRUE(settings->stringValue("settings_password").isEmpty());

    // A restart shows both fields empty (the automatic sign-in tells when the store has answered).
    settings->setBool("auto_login", true);
    LoginForm again(settings.get());
    QSignalSpy finished(&again, &LoginForm::operationFinished);
    again.viewDidLoad();
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() > 0; }, 20000));
    EXPECT_TRUE(again.loginInput().isEmpty());
    EXPECT_TRUE(again.passwordInput().isEmpty());
}

TEST_F(LoginSecretServiceTest, APasswordLeftInTheSettingsFileMovesIntoTheStore)
{
    settings->setString("settings_login", email());
    settings->setString("settings_password", password());
    settings->setBool("auto_login", true);

    QSignalSpy finished(form.get(), &LoginForm::operationFinished);
    TestSupport::LogCapture log;
    form->viewDidLoad();
    // Known at once: the automatic sign-in does not wait for the store.
    EXPECT_EQ(form->passwordInput(), password());
    EXPECT_EQ(log.lines().value(0), QStringLiteral("Автологин включен"));
    ASSERT_NE(form->hud(), nullptr);
    EXPECT_EQ(form->hud()->labelText(), QStringLiteral("Выполняется вход..."));
    ASSERT_TRUE(TestSupport::waitFor([&] { return lookup(email()) == password(); }));
    ASSERT_TRUE(TestSupport::waitFor([&] { return settings->stringValue("settings_password").isEmpty(); }));
    EXPECT_EQ(filedPassword(), QByteArray());
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished.count() > 0; }, 20000));
    EXPECT_FALSE(global->vksid().isEmpty());
    // With a store there, nothing says the password is in the file.
    EXPECT_EQ(log.lines().filter(QStringLiteral("файле настроек")), QStringList());
}

} // namespace
