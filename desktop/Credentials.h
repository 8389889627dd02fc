#pragma once

#include <QObject>
#include <QString>

#include <functional>

class SecretStore;
class Settings;

// Where the account password is kept: in the desktop's secret store, under the service "Melodrop" with the
// e-mail as account, and the settings key "settings_password" left empty. Where no secret store answers,
// the password stays under that key in the owner-only settings file, as it always was, and the log says so
// once. Lives on a thread whose event loop runs (the main thread): the store answers there.
class Credentials : public QObject
{
    Q_OBJECT

public:
    // `settings` null: the shared settings, looked up at each use (they may be replaced meanwhile).
    explicit Credentials(Settings *settings, QObject *parent = nullptr);
    ~Credentials() override;

    // Hands the password kept for `email` to `done`: at once when it still sits in the settings file (it
    // moves into the store on the way), otherwise when the store answers (empty when it holds none).
    void restore(const QString &email, std::function<void(const QString &password)> done);
    // Keeps `password` for `email`. A secret kept for `previousEmail`, when that is another account, is
    // deleted: only the last sign-in's credentials are kept.
    void save(const QString &email, const QString &password, const QString &previousEmail = QString());
    // Deletes the password kept for `email`, wherever it is.
    void forget(const QString &email);

Q_SIGNALS:
    // A save has ended: the password is in the secret store, or (false) in the settings file.
    void saved(bool inSecretStore);
    // A forget has ended.
    void forgotten();

private:
    void keepInSettingsFile(const QString &password);
    Settings &settings() const;

    Settings *m_settings;
    SecretStore *m_store;
    bool m_fallbackLogged = false;
    // Bumped by forget, so that a save still under way does not put the password back into the file.
    quint64 m_generation = 0;
};
