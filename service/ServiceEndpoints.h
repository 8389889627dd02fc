#pragma once

#include <QString>

// Where the service lives. The defaults are the real service; useServiceBase points everything at one local
// server (the sandbox, or a test server).
struct ServiceEndpoints
{
    QString webScheme;  // "https" for the real service; a local server's own scheme
    QString webHost;    // bare host[:port], no scheme: the shared state's `domain`
    QString probeUrl;   // HEAD target of the reachability probe
    QString loginBase;  // the login request is loginBase + "?act=login&..."
    QString logoutHost; // the logout request is webScheme + "://" + logoutHost + "/auth?..."
    QString riaaUrl;    // the rights-holder list
    QString lastfmBase; // Last.fm API root

    static ServiceEndpoints defaults();
    // The endpoints of a local server at `baseUrl` (e.g. "http://127.0.0.1:8080"); empty when it is no http
    // URL.
    static bool fromServiceBase(const QString &baseUrl, ServiceEndpoints *out);

    // The process-wide endpoints; set once at start-up, before the shared state is first used.
    static ServiceEndpoints &current();
    static bool useServiceBase(const QString &baseUrl);

    // The address of a service page: the web scheme, `host` (the shared state's `domain`) and the path. The
    // session cookie travels with these requests, so the scheme is never weaker than the base's.
    static QString webAddress(const QString &host, QStringView pathAndQuery);
};
