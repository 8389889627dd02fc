#pragma once

// A loopback HTTP server whose every answer is written by the test: it reads one request per connection,
// keeps its text and sends back what `answer` makes of it, then closes the connection, unless the answer
// set `hold`: that connection stays open and silent until the server goes.
#include <QByteArray>
#include <QList>
#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class NetServer
{
public:
    using Answer = std::function<QByteArray(const QByteArray &request, bool &hold)>;

    explicit NetServer(Answer answer) : m_answer(std::move(answer))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~NetServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/file.bin").arg(m_port); }
    QList<QByteArray> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void run()
    {
        std::vector<int> held;
        while (!m_stop) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, 20) <= 0)
                continue;
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, n);
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests << request;
            }
            bool hold = false;
            const QByteArray answer = m_answer(request, hold);
            ::send(client, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
            if (hold)
                held.push_back(client);
            else
                ::close(client);
        }
        for (int fd : held)
            ::close(fd);
    }

    Answer m_answer;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};
