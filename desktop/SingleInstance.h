#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running program per user and documents folder: a second start hands its command-line files to the first
// through a local socket and ends. The socket lies in the user's runtime folder, reachable by the user only.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // Messages larger than this are refused: a list of paths never comes near it.
    static constexpr qint64 maxMessageBytes = 1 << 20;

    explicit SingleInstance(const QString &serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket of the program that uses `rootDir` as its documents folder.
    static QString serverNameFor(const QString &rootDir);

    // Hands `arguments` (with the directory they are relative to) to a running program and waits until it has
    // taken them. False when no program answers.
    bool sendToRunningInstance(const QStringList &arguments, const QString &workingDirectory,
                               int timeoutMs = 5000);
    // Becomes the running program; false when the socket cannot be set up (another one was quicker).
    bool listen();
    bool isListening() const;
    // Becomes the running program of another documents folder (`serverName`), letting go of the present one
    // only once the new one is held; false, and nothing changed, when another program holds it.
    bool switchTo(const QString &serverName);

Q_SIGNALS:
    // Another start's arguments; an empty list asks to bring the window forward.
    void messageReceived(const QStringList &arguments, const QString &workingDirectory);

private:
    void acceptConnections();
    void readMessage(QLocalSocket *socket);

    QString m_serverName;
    QLocalServer *m_server = nullptr;
};
