#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The program's one HTTP layer over libcurl: synchronous requests that block their caller (never call them on
// the main thread) and the one shared cookie store.
namespace Http {

using Headers = QList<QPair<QByteArray, QByteArray>>;

struct Cookie
{
    QString domain;
    QString path;
    QString name;
    QString value;
};

struct Response
{
    bool received = false; // an answer arrived (whatever its status)
    long status = 0;
    QByteArray body; // gzip already decoded; empty when nothing arrived
};

// GET with the given header fields in their order, following redirects. A "gzip" content encoding is decoded.
// With `useCookieStore` the request sends the store's cookies and every hop's cookies are collected into it.
Response get(const QString &url, const Headers &headers, int timeoutSeconds, bool useCookieStore = false);

// HEAD; the status of the final answer, 0 when no answer arrived. Uses the cookie store, as a browser would.
long head(const QString &url, int timeoutSeconds = 60);

// The service page request: GET `url` with "Cookie: remixsid=<sid>", "X-Requested-With: XMLHttpRequest" and
// "Accept-Encoding: gzip", 120 s; the body decoded as Windows-1251. The status is not looked at; a failed
// request gives the empty text.
QString servicePage(const QString &url, const QString &sid);

// The shared cookie store, in its own order.
QList<Cookie> cookies();
void deleteAllCookies();

} // namespace Http
