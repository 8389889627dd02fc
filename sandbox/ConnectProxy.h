#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A proxy that only tunnels: it answers "CONNECT host:port" with "200 Connection established" (and a header
// of its own, as real proxies add) and then copies bytes both ways. Lets tests see that a client never takes
// the proxy's answer for the server's. Loopback targets only.
class ConnectProxy
{
public:
    ConnectProxy() = default;
    ~ConnectProxy();
    ConnectProxy(const ConnectProxy &) = delete;
    ConnectProxy &operator=(const ConnectProxy &) = delete;

    // Listens on 127.0.0.1:`port` (0 picks a free one); false when it cannot.
    bool start(int port = 0);
    void stop();
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    std::string url() const;
    int tunnelsOpened() const { return m_tunnels.load(); }

private:
    void acceptLoop();
    void serve(int client);

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_tunnels{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
    std::vector<int> m_sockets;
};
