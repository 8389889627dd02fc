#include "desktop/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr quint32 magic = 0x4d454c4f; // "MELO"
constexpr char acknowledgement = 'K';
constexpr int headerBytes = 8;
constexpr int clientTimeoutMs = 5000;

} // namespace

SingleInstance::SingleInstance(const QString &serverName, QObject *parent)
    : QObject(parent), m_serverName(serverName)
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverNameFor(const QString &rootDir)
{
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QString root = QDir(rootDir).absolutePath();
    const QByteArray digest =
        QCryptographicHash::hash(root.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return runtime + QStringLiteral("/melodrop-%1.socket").arg(QString::fromLatin1(digest));
}

bool SingleInstance::sendToRunningInstance(const QStringList &arguments, const QString &workingDirectory,
                                           int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << workingDirectory << arguments;
    }
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << magic << quint32(payload.size());
    }
    message += payload;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Wait for the running program to take the files, so that they are not lost should it be ending right
    // now.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == acknowledgement;
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

bool SingleInstance::listen()
{
    if (isListening())
        return true;
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        m_server->setMaxPendingConnections(8);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    }
    // Asked first: with access options set, listen() renames its socket over an existing one, which would
    // take the name from a program that is still running.
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(1000))
        return false;
    if (m_server->listen(m_serverName))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Nobody answers on the socket file: a program that crashed left it behind.
    QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

bool SingleInstance::switchTo(const QString &serverName)
{
    if (serverName == m_serverName && isListening())
        return true;
    const QString previousName = m_serverName;
    QLocalServer *previous = m_server;
    m_server = nullptr;
    m_serverName = serverName;
    if (!listen()) {
        delete m_server;
        m_server = previous;
        m_serverName = previousName;
        return false;
    }
    delete previous;
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        // A client that never finishes its message is dropped.
        QTimer::singleShot(clientTimeoutMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            readMessage(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    if (socket->property("melodropDone").toBool() || socket->bytesAvailable() < headerBytes)
        return;
    quint32 header = 0;
    quint32 length = 0;
    {
        QDataStream in(socket->peek(headerBytes));
        in >> header >> length;
    }
    if (header != magic || length > maxMessageBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < headerBytes + qint64(length))
        return;
    socket->skip(headerBytes);
    const QByteArray payload = socket->read(length);
    QString workingDirectory;
    QStringList arguments;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    in >> workingDirectory;
    // The list is read item by item: its stored count is not trusted with an allocation.
    quint32 count = 0;
    in >> count;
    if (count > quint32(payload.size() / 4))
        in.setStatus(QDataStream::ReadCorruptData);
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString argument;
        in >> argument;
        arguments.append(argument);
    }
    if (in.status() != QDataStream::Ok || !in.atEnd()) {
        socket->abort();
        return;
    }
    socket->setProperty("melodropDone", true);
    socket->putChar(acknowledgement);
    socket->flush();
    Q_EMIT messageReceived(arguments, workingDirectory);
}
