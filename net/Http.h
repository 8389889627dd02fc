#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The program's one HTTP layer over libcurl: synchronous requests that block their caller (never call them on
// the main thread) and the one shared cookie store.
//
// Requests that got no answer at all. Service operations turn a failed request into an empty result, as the
// service client's callers expect; a caller that must tell "nothing found" from "nobody answered" asks this
// layer instead of every operation growing its own flag. Each request without an answer (refused or reset
// connection, time-out, unknown host, a body over the limit) is counted for the whole process together with
// its cause; an answer of any status, an empty body included, is not. melodrop-cli's dispatcher reads this
// after a command has run and turns a success into exit 1 with the line "Нет ответа сервиса: <cause>", so a
// command needs no code of its own for it: it only has to make its requests through this layer.
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
    QString error;   // why no answer arrived (time-out, refused, unknown host, too large); empty when one did
    QByteArray body; // gzip already decoded; empty when nothing arrived
};

// The largest body `get` accepts, after decoding: a larger one (or a compressed one that inflates past it) is
// a failed request, as if nothing had arrived.
constexpr qsizetype maxBodyBytes = 64 * 1024 * 1024;

// GET with the given header fields in their order, following redirects (see redirect()). A "gzip" or
// "deflate" content encoding is decoded by libcurl. With `useCookieStore` the request sends the store's
// cookies and every hop's cookies are collected into it.
Response get(const QString &url, const Headers &headers, int timeoutSeconds, bool useCookieStore = false);

// HEAD; the status of the final answer (0 and the error when no answer arrived). Uses the cookie store, as a
// browser would.
Response head(const QString &url, int timeoutSeconds = 60);

// How a redirect from `from` to `to` is followed: only to http and https, the caller's Cookie field only to
// the same host, and neither it nor the cookie store from https down to plain http (the session would travel
// in the clear).
struct Hop
{
    bool follow = false;
    bool keepCookieField = false;
    bool keepCookieStore = false;
};
Hop redirect(const QString &from, const QString &to);

// The service page request: GET `url` with "Cookie: remixsid=<sid>", "X-Requested-With: XMLHttpRequest" and
// "Accept-Encoding: gzip", 120 s; the body decoded as Windows-1251. The status is not looked at; a failed
// request gives the empty text, and `answered` (when given) tells it apart from an empty answer.
QString servicePage(const QString &url, const QString &sid, bool *answered = nullptr);
// The same page as UTF-8 bytes, decoded while it arrives: the answer is never held in a second form, so a
// long page costs its UTF-8 size alone. The body limit counts the bytes as they came (after gzip), not their
// UTF-8.
QByteArray servicePageUtf8(const QString &url, const QString &sid, bool *answered = nullptr);

// Requests of this process that got no answer at all, and the cause of the first of them (empty while none).
int unansweredRequests();
QString firstUnansweredCause();

// Ends every request under way and every later one at once, as failed requests: the program is quitting and
// must not wait for a service that does not answer. Cannot be undone.
void abortAll();

// The same for the calling thread alone, so that a screen's background operation is not misled by another
// thread's failures: it compares the count before and after its requests to tell "nothing found" from "nobody
// answered". A request that could not even be formed (a malformed address) asked no service and is not
// counted here.
int unansweredRequestsOnThisThread();

// The shared cookie store, in its own order.
QList<Cookie> cookies();
void deleteAllCookies();

} // namespace Http
