#pragma once

#include <QProcess>
#include <QString>

// The local stand-in of the service for `melodrop --sandbox`: the melodrop-sandbox program installed beside
// this one, started on a free loopback port and stopped when this object goes (or this process dies).
class SandboxProcess
{
public:
    SandboxProcess() = default;
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess &) = delete;
    SandboxProcess &operator=(const SandboxProcess &) = delete;

    // Starts the program and waits for the base address it prints; false (with `error` set) when it cannot.
    bool start(QString *error);
    QString baseUrl() const { return m_baseUrl; }
    // "e-mail / password" of its account, as it announces them; empty when it did not.
    QString account() const { return m_account; }

    static QString programPath();

private:
    QProcess m_process;
    QString m_baseUrl;
    QString m_account;
};
