#include "desktop/Credentials.h"

#include "desktop/SecretStore.h"
#include "core/Settings.h"
#include "decoding/Log.h"

namespace {

const QString passwordKey = QStringLiteral("settings_password");

} // namespace

Credentials::Credentials(Settings *settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_store(new SecretStore(QStringLiteral("Melodrop"), this))
{}

Settings &Credentials::settings() const
{
    return m_settings ? *m_settings : Settings::shared();
}

Credentials::~Credentials() = default;

void Credentials::restore(const QString &email, std::function<void(const QString &)> done)
{
    const QString filed = settings().stringValue(passwordKey);
    if (!filed.isEmpty()) {
        save(email, filed);
        done(filed);
        return;
    }
    m_store->read(email, [this, done = std::move(done)](SecretStore::Status status, const QString &secret) {
        // Without a store the file is where a password would be; it was empty a moment ago, but a save may
        // have filled it since.
        done(status == SecretStore::Status::Unavailable ? settings().stringValue(passwordKey) : secret);
    });
}

void Credentials::save(const QString &email, const QString &password, const QString &previousEmail)
{
    const quint64 generation = m_generation;
    m_store->write(email, password, [=, this](SecretStore::Status status) {
        if (status != SecretStore::Status::Done) {
            if (generation == m_generation)
                keepInSettingsFile(password);
            Q_EMIT saved(false);
            return;
        }
        settings().setString(passwordKey, QString());
        if (!previousEmail.isEmpty() && previousEmail != email)
            m_store->remove(previousEmail, [](SecretStore::Status) {});
        Q_EMIT saved(true);
    });
}

void Credentials::forget(const QString &email)
{
    ++m_generation;
    settings().setString(passwordKey, QString());
    m_store->remove(email, [this](SecretStore::Status) { Q_EMIT forgotten(); });
}

void Credentials::keepInSettingsFile(const QString &password)
{
    settings().setString(passwordKey, password);
    if (m_fallbackLogged)
        return;
    m_fallbackLogged = true;
    const QString problem = m_store->lastProblem();
    Log::line(
        QStringLiteral("Хранилище паролей недоступно%1: пароль хранится в файле настроек %2")
            .arg(problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem), settings().path()));
}
