#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The desktop's secret store (the Secret Service of GNOME Keyring or KWallet) through QtKeychain: one secret
// per account under one service name. Every answer arrives later on the calling thread's event loop, which
// must be running; nothing here blocks.
namespace QKeychain {
class Job;
}

class SecretStore : public QObject
{
    Q_OBJECT

public:
    enum class Status {
        Done,       // read, written or deleted
        Missing,    // the store answered and holds nothing for the account
        Unavailable // no store answered, or it refused
    };
    using ReadDone = std::function<void(Status status, const QString &secret)>;
    using Done = std::function<void(Status status)>;

    explicit SecretStore(const QString &service = QStringLiteral("Melodrop"), QObject *parent = nullptr);

    QString service() const { return m_service; }

    void read(const QString &account, ReadDone done);
    void write(const QString &account, const QString &secret, Done done);
    void remove(const QString &account, Done done);

    // Why the last operation that found no store failed, for the log; empty until then.
    QString lastProblem() const { return m_lastProblem; }

private:
    void start(QKeychain::Job *job, const QString &account,
               std::function<void(QKeychain::Job *, Status)> finished);

    QString m_service;
    QString m_lastProblem;
};
