#include "sandbox/ConnectProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

ConnectProxy::~ConnectProxy()
{
    stop();
}

bool ConnectProxy::start(int port)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return false;
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    socklen_t length = sizeof address;
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 16) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
    return true;
}

void ConnectProxy::stop()
{
    if (m_listen < 0)
        return;
    m_stopping = true;
    ::shutdown(m_listen, SHUT_RDWR);
    m_acceptor.join();
    ::close(m_listen);
    m_listen = -1;
    std::lock_guard lock(m_mutex);
    for (int socket : m_sockets)
        ::shutdown(socket, SHUT_RDWR);
    for (std::thread &connection : m_connections)
        connection.join();
    for (int socket : m_sockets)
        ::close(socket);
    m_connections.clear();
    m_sockets.clear();
}

std::string ConnectProxy::url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void ConnectProxy::acceptLoop()
{
    while (!m_stopping) {
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (m_stopping)
                return;
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(client);
        m_connections.emplace_back([this, client] { serve(client); });
    }
}

namespace {

bool sendAll(int socket, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

} // namespace

void ConnectProxy::serve(int client)
{
    // The request head: "CONNECT 127.0.0.1:port HTTP/1.1" and its fields, up to the blank line.
    std::string head;
    char byte = 0;
    while (head.size() < 8192 && head.find("\r\n\r\n") == std::string::npos) {
        if (::recv(client, &byte, 1, 0) != 1)
            break;
        head.push_back(byte);
    }
    int port = 0;
    char host[64] = {};
    int server = -1;
    if (std::sscanf(head.c_str(), "CONNECT %63[^:]:%d HTTP/1.", host, &port) == 2 &&
        std::strcmp(host, "127.0.0.1") == 0) {
        server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(port));
        if (::connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(server);
            server = -1;
        }
    }
    if (server < 0) {
        static const char refused[] = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
        sendAll(client, refused, sizeof refused - 1);
        ::shutdown(client, SHUT_RDWR);
        return;
    }
    static const char established[] =
        "HTTP/1.1 200 Connection established\r\nProxy-Agent: melodrop-sandbox\r\n\r\n";
    m_tunnels.fetch_add(1);
    if (sendAll(client, established, sizeof established - 1)) {
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char buffer[64 * 1024];
        bool open = true;
        while (open && !m_stopping) {
            if (::poll(fds, 2, 500) < 0)
                break;
            for (int i = 0; i < 2 && open; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
                open = got > 0 && sendAll(fds[1 - i].fd, buffer, size_t(got));
            }
        }
    }
    ::close(server);
    ::shutdown(client, SHUT_RDWR);
    // The socket itself is closed by stop(), which may still shut it down.
}
