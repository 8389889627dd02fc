#include "sandbox/Sandbox.h"

#include <httplib.h>

#include <chrono>
#include <csignal>
#include <thread>

struct Sandbox::Impl
{
    httplib::Server server;
    std::thread thread;
};

Sandbox::Account Sandbox::defaultAccount()
{
    return {"demo@melodrop.test", "melodrop", "1000001"};
}

Sandbox::Sandbox() : m_impl(std::make_unique<Impl>())
{
    m_state.accounts.push_back(defaultAccount());
    httplib::Server &server = m_impl->server;
    // An idle kept-alive connection holds its worker for seconds, and a window opens several at once (its
    // picture loaders six per host each, the queue three, the service client its own): with the default
    // eight workers new connections waited behind idle ones and pictures stalled.
    server.new_task_queue = [] { return new httplib::ThreadPool(48); };
    server.set_logger([this](const httplib::Request &request, const httplib::Response &) {
        std::string line = request.method + " " + request.path;
        const auto query = request.target.find('?');
        if (query != std::string::npos)
            line += request.target.substr(query);
        std::lock_guard lock(m_state.mutex);
        m_state.requestLog.push_back(line);
    });
    SandboxRoutes::registerAuth(server, m_state);
    SandboxRoutes::registerDiagnostics(server, m_state);
    SandboxRoutes::registerAudio(server, m_state);
    SandboxRoutes::registerVideo(server, m_state);
    SandboxRoutes::registerStorage(server, m_state);
    SandboxRoutes::registerFriends(server, m_state);
    SandboxRoutes::registerLastfm(server, m_state);
}

Sandbox::~Sandbox()
{
    stop();
}

bool Sandbox::start(int port, const std::string &host)
{
    m_host = host;
    // A client that hangs up in the middle of an answer (a preview picture no longer wanted, a download
    // removed from the queue) must cost that answer only, not the whole process.
    std::signal(SIGPIPE, SIG_IGN);
    httplib::Server &server = m_impl->server;
    m_state.storage.stopping = false;
    if (port == 0) {
        m_port = server.bind_to_any_port(host);
        if (m_port <= 0)
            return false;
    } else {
        if (!server.bind_to_port(host, port))
            return false;
        m_port = port;
    }
    m_impl->thread = std::thread([&server] { server.listen_after_bind(); });
    for (int i = 0; i < 500 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return server.is_running();
}

void Sandbox::stop()
{
    if (!m_impl)
        return;
    m_state.storage.stopping = true; // frees the workers that hold silent requests
    m_impl->server.stop();
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

std::string Sandbox::baseUrl() const
{
    return "http://" + m_host + ":" + std::to_string(m_port);
}

void Sandbox::setProbeStatus(int status)
{
    std::lock_guard lock(m_state.mutex);
    m_state.probeStatus = status;
}

void Sandbox::setLoginSetsUserCookie(bool sets)
{
    std::lock_guard lock(m_state.mutex);
    m_state.loginSetsUserCookie = sets;
}

std::vector<std::string> Sandbox::requestLog()
{
    std::lock_guard lock(m_state.mutex);
    return m_state.requestLog;
}

std::string Sandbox::lastLoginQuery()
{
    std::lock_guard lock(m_state.mutex);
    return m_state.lastLoginQuery;
}

bool Sandbox::hasSession(const std::string &sid)
{
    std::lock_guard lock(m_state.mutex);
    return m_state.sessions.count(sid) > 0;
}
