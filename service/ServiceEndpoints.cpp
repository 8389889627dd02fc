#include "service/ServiceEndpoints.h"

#include "core/GlobalData.h"

#include <QUrl>

ServiceEndpoints ServiceEndpoints::defaults()
{
    // The real service is reached over https only: its pages carry the session cookie.
    ServiceEndpoints e;
    e.webScheme = QStringLiteral("https");
    e.webHost = QString::fromLatin1(GlobalData::defaultDomain);
    e.probeUrl = QStringLiteral("https://vk.com");
    e.loginBase = QStringLiteral("https://login.vk.com");
    e.logoutHost = QStringLiteral("login.userapi.com");
    e.riaaUrl = QStringLiteral("https://files.melodrop.org/RIAA.txt");
    e.lastfmBase = QStringLiteral("https://ws.audioscrobbler.com");
    return e;
}

bool ServiceEndpoints::fromServiceBase(const QString &baseUrl, ServiceEndpoints *out)
{
    QString base = baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty())
        return false;
    QString hostPort = url.host();
    if (url.port() != -1)
        hostPort += QLatin1Char(':') + QString::number(url.port());
    out->webScheme = url.scheme();
    out->webHost = hostPort;
    out->probeUrl = base;
    out->loginBase = base + QStringLiteral("/login");
    out->logoutHost = hostPort + QStringLiteral("/logout");
    out->riaaUrl = base + QStringLiteral("/RIAA.txt");
    out->lastfmBase = base + QStringLiteral("/lastfm");
    return true;
}

QString ServiceEndpoints::webAddress(const QString &host, QStringView pathAndQuery)
{
    return current().webScheme + QStringLiteral("://") + host + pathAndQuery.toString();
}

ServiceEndpoints &ServiceEndpoints::current()
{
    static ServiceEndpoints endpoints = defaults();
    return endpoints;
}

bool ServiceEndpoints::useServiceBase(const QString &baseUrl)
{
    if (!fromServiceBase(baseUrl, &current()))
        return false;
    GlobalData::sharedGlobalData()->domain = current().webHost;
    return true;
}
