#include "../support/TestSupport.h"

#include "desktop/SingleInstance.h"

#include <QDataStream>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        name = folder.filePath("melodrop.socket");
    }

    // A second start runs in a process of its own; here a thread plays it, so that the running one can
    // answer.
    std::future<bool> secondStart(const QStringList &arguments, const QString &workingDirectory,
                                  int timeoutMs = 3000)
    {
        return std::async(std::launch::async, [=, this] {
            SingleInstance other(name);
            return other.sendToRunningInstance(arguments, workingDirectory, timeoutMs);
        });
    }
    // Sends raw bytes as a misbehaving client would, from another thread; returns what came back.
    std::future<QByteArray> rawClient(const QByteArray &bytes)
    {
        return std::async(std::launch::async, [=, this] {
            QLocalSocket socket;
            socket.connectToServer(name);
            if (!socket.waitForConnected(2000))
                return QByteArray("<no connection>");
            socket.write(bytes);
            socket.waitForBytesWritten(2000);
            socket.waitForReadyRead(1000);
            return socket.readAll();
        });
    }
    static bool finish(std::future<bool> &result)
    {
        TestSupport::waitFor(
            [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return result.get();
    }

    QTemporaryDir folder;
    QString name;
};

TEST_F(SingleInstanceTest, ASecondStartHandsItsFilesToTheRunningProgram)
{
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);

    const QStringList files{"/music/one.mp3", "relative two.mp3",
                            "file:///video/%D0%BA%D0%BB%D0%B8%D0%BF.mp4"};
    std::future<bool> sent = secondStart(files, "/home/user/Загрузки");
    EXPECT_TRUE(finish(sent));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0).at(0).toStringList(), files);
    EXPECT_EQ(received.at(0).at(1).toString(), "/home/user/Загрузки");

    // A start without files asks to bring the window forward.
    std::future<bool> bare = secondStart({}, "/");
    EXPECT_TRUE(finish(bare));
    ASSERT_EQ(received.size(), 2);
    EXPECT_TRUE(received.at(1).at(0).toStringList().isEmpty());

    // While one runs, another cannot become the running program.
    SingleInstance rival(name);
    EXPECT_FALSE(rival.listen());
    EXPECT_TRUE(running.isListening());
}

TEST_F(SingleInstanceTest, WithoutARunningProgramNothingIsSentAndTheSocketIsOwnerOnly)
{
    SingleInstance first(name);
    std::future<bool> sent = secondStart({"a.mp3"}, "/", 500);
    EXPECT_FALSE(finish(sent));
    ASSERT_TRUE(first.listen());
    const QFileInfo socket(name);
    ASSERT_TRUE(socket.exists());
    EXPECT_FALSE(socket.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                         QFileDevice::ReadOther | QFileDevice::WriteOther));
}

TEST_F(SingleInstanceTest, ASocketLeftBehindByACrashIsTakenOver)
{
    // A bound socket file whose program is gone.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = name.toUtf8();
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(name));

    SingleInstance running(name);
    EXPECT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);
    std::future<bool> sent = secondStart({"x.mp3"}, "/");
    EXPECT_TRUE(finish(sent));
    EXPECT_EQ(received.size(), 1);
}

TEST_F(SingleInstanceTest, MalformedMessagesAreDroppedAndTheProgramKeepsListening)
{
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);

    auto header = [](quint32 magic, quint32 length) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << magic << length;
        return bytes;
    };
    // A payload whose list claims far more items than it holds.
    QByteArray lying;
    {
        QDataStream out(&lying, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << QStringLiteral("/") << quint32(0x7fffffff) << QStringLiteral("only one");
    }
    const QList<QByteArray> attempts{
        QByteArray("GET / HTTP/1.0\r\n\r\n"), header(0x4d454c4f, 0xffffffff), // longer than allowed
        header(0x4d454c4f, quint32(lying.size())) + lying,                    // lying count
        header(0x4d454c4f, 6) + QByteArray("\x00\x00\x00\x08zz", 6),          // truncated text
    };
    for (const QByteArray &attempt : attempts) {
        std::future<QByteArray> answer = rawClient(attempt);
        TestSupport::waitFor(
            [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        EXPECT_NE(answer.get(), QByteArray("K"));
    }
    EXPECT_TRUE(received.isEmpty());

    std::future<bool> sent = secondStart({"fine.mp3"}, "/");
    EXPECT_TRUE(finish(sent));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0).at(0).toStringList(), QStringList{"fine.mp3"});
}

TEST_F(SingleInstanceTest, EachDocumentsFolderHasItsOwnSocket)
{
    const QString a = SingleInstance::serverNameFor("/home/user/Documents/Melodrop");
    EXPECT_EQ(a, SingleInstance::serverNameFor("/home/user/Documents/Melodrop"));
    EXPECT_NE(a, SingleInstance::serverNameFor("/tmp/other root"));
    EXPECT_TRUE(QFileInfo(a).isAbsolute());
    EXPECT_LT(a.toUtf8().size(), 108); // the limit of a socket address
}

} // namespace
