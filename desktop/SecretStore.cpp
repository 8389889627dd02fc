#include "desktop/SecretStore.h"

#include <qt6keychain/keychain.h>

namespace {

SecretStore::Status statusOf(const QKeychain::Job &job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return SecretStore::Status::Done;
    case QKeychain::EntryNotFound:
        return SecretStore::Status::Missing;
    default:
        return SecretStore::Status::Unavailable;
    }
}

} // namespace

SecretStore::SecretStore(const QString &service, QObject *parent) : QObject(parent), m_service(service) {}

void SecretStore::read(const QString &account, ReadDone done)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    start(job, account, [done = std::move(done)](QKeychain::Job *finished, Status status) {
        const auto *reader = static_cast<QKeychain::ReadPasswordJob *>(finished);
        done(status, status == Status::Done ? reader->textData() : QString());
    });
}

void SecretStore::write(const QString &account, const QString &secret, Done done)
{
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setTextData(secret);
    start(job, account, [done = std::move(done)](QKeychain::Job *, Status status) { done(status); });
}

void SecretStore::remove(const QString &account, Done done)
{
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    start(job, account, [done = std::move(done)](QKeychain::Job *, Status status) { done(status); });
}

void SecretStore::start(QKeychain::Job *job, const QString &account,
                        std::function<void(QKeychain::Job *, Status)> finished)
{
    job->setKey(account);
    // QtKeychain's own fallback would keep the secret in a file of its choosing; ours is the settings file.
    job->setInsecureFallback(false);
    // The job has no parent and deletes itself when done: the store's answer may come after this object is
    // gone, and QtKeychain must not find its job deleted then. Only the connection dies with us.
    connect(job, &QKeychain::Job::finished, this,
            [this, finished = std::move(finished)](QKeychain::Job *job) {
                const Status status = statusOf(*job);
                if (status == Status::Unavailable)
                    m_lastProblem = job->errorString();
                finished(job, status); // the job deletes itself once this returns
            });
    job->start();
}
