#pragma once

#include <QString>

// Where the service lives. The defaults are the real service; useServiceBase points everything at one local
// server (the sandbox, or a test server).
struct ServiceEndpoints
{
    QString webHost;    // bare host[:port], no scheme: the shared state's `domain`
    QString probeUrl;   // HEAD target of the reachability probe
    QString loginBase;  // the login request is loginBase + "?act=login&..."
    QString logoutHost; // the logout request is "http://" + logoutHost + "/auth?..."
    QString riaaUrl;    // the rights-holder list
    QString lastfmBase; // Last.fm API root

    static ServiceEndpoints defaults();
    // The endpoints of a local server at `baseUrl` (e.g. "http://127.0.0.1:8080"); empty when it is no http
    // URL.
    static bool fromServiceBase(const QString &baseUrl, ServiceEndpoints *out);

    // The process-wide endpoints; set once at start-up, before the shared state is first used.
    static ServiceEndpoints &current();
    static bool useServiceBase(const QString &baseUrl);
};
