// The probe, the login with its redirect chain, and the logout.
#include "sandbox/Sandbox.h"

#include <httplib.h>

#include <random>

namespace {

std::string newSessionId()
{
    static std::mt19937_64 generator{std::random_device{}()};
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    static const char digits[] = "0123456789abcdef";
    std::string sid;
    for (int i = 0; i < 32; ++i)
        sid += digits[generator() % 16];
    return sid;
}

} // namespace

void SandboxRoutes::registerAuth(httplib::Server &server, Sandbox::State &state)
{
    // The reachability probe: HEAD / (and GET /).
    server.Get("/", [&state](const httplib::Request &, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        response.status = state.probeStatus;
        response.set_content("<html><body>Melodrop sandbox</body></html>", "text/html; charset=windows-1251");
    });

    // Step one: check the credentials; the session comes through two further hops, as on the real site.
    server.Get("/login", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        const auto query = request.target.find('?');
        state.lastLoginQuery = query == std::string::npos ? std::string() : request.target.substr(query + 1);
        const std::string email = request.get_param_value("email");
        const std::string password = request.get_param_value("pass");
        response.set_header("Set-Cookie", "remixlang=0; path=/");
        for (const Sandbox::Account &account : state.accounts) {
            if (account.email == email && account.password == password) {
                const std::string token = newSessionId();
                state.pendingLogins[token] = account.uid;
                response.set_redirect("/login/user?token=" + token);
                return;
            }
        }
        response.set_redirect("/login/done?fail=1");
    });

    server.Get("/login/user", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        const std::string token = request.get_param_value("token");
        const auto pending = state.pendingLogins.find(token);
        if (pending == state.pendingLogins.end()) {
            response.set_redirect("/login/done?fail=1");
            return;
        }
        if (state.loginSetsUserCookie)
            response.set_header("Set-Cookie", "l=" + pending->second + "; path=/");
        response.set_redirect("/login/session?token=" + token);
    });

    server.Get("/login/session", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        const std::string token = request.get_param_value("token");
        const auto pending = state.pendingLogins.find(token);
        if (pending == state.pendingLogins.end()) {
            response.set_redirect("/login/done?fail=1");
            return;
        }
        const std::string sid = newSessionId();
        state.sessions[sid] = pending->second;
        state.pendingLogins.erase(pending);
        response.set_header("Set-Cookie", "remixsid=" + sid + "; path=/");
        response.set_redirect("/login/done");
    });

    server.Get("/login/done", [](const httplib::Request &request, httplib::Response &response) {
        const bool failed = request.has_param("fail");
        response.set_content(failed ? "<html><script>parent.onLoginFailed(4)</script></html>"
                                    : "<html><script>parent.onLoginDone('/id')</script></html>",
                             "text/html; charset=windows-1251");
    });

    server.Get("/logout/auth", [&state](const httplib::Request &request, httplib::Response &response) {
        std::lock_guard lock(state.mutex);
        const std::string sid = request.get_param_value("sid");
        state.lastLogoutSid = sid;
        state.sessions.erase(sid);
        response.set_header("Set-Cookie", "remixsid=DELETED; expires=Thu, 01 Jan 1970 00:00:01 GMT; path=/");
        response.set_content("<html>logged out</html>", "text/html; charset=windows-1251");
    });
}
