#include "net/Http.h"

#include "decoding/Text.h"

#include <QElapsedTimer>
#include <QUrl>

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

// The share handle holds the one cookie store; libcurl asks us to lock it around every use.
struct SharedStore
{
    CURLSH *share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    SharedStore()
    {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        share = curl_share_init();
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &SharedStore::lock);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &SharedStore::unlock);
        curl_share_setopt(share, CURLSHOPT_USERDATA, this);
    }

    static void lock(CURL *, curl_lock_data data, curl_lock_access, void *self)
    {
        static_cast<SharedStore *>(self)->locks[data].lock();
    }
    static void unlock(CURL *, curl_lock_data data, void *self)
    {
        static_cast<SharedStore *>(self)->locks[data].unlock();
    }
};

SharedStore &store()
{
    static SharedStore *instance = new SharedStore; // lives until exit: requests may run on any thread
    return *instance;
}

struct Transfer
{
    QByteArray body;
    qsizetype received = 0;   // bytes of this answer's body as they came, which the limit counts
    bool windows1251 = false; // keep the body as UTF-8, decoded from code page 1251 piece by piece
    bool tooLarge = false;
};

std::atomic<bool> aborting{false};
std::atomic<int> unanswered{0};
std::mutex causeMutex;
QString firstCause;

void recordUnanswered(const QString &cause)
{
    if (aborting.load())
        return; // the program is quitting: nobody asks
    if (unanswered.fetch_add(1) == 0) {
        std::lock_guard lock(causeMutex);
        firstCause = cause;
    }
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const size_t length = size * count;
    // libcurl hands us decoded data, so the limit holds for what a compressed body inflates to.
    if (transfer->received + qsizetype(length) > Http::maxBodyBytes) {
        transfer->tooLarge = true;
        return 0;
    }
    transfer->received += qsizetype(length);
    if (transfer->windows1251)
        Text::appendWindows1251AsUtf8(transfer->body, QByteArrayView(data, qsizetype(length)));
    else
        transfer->body.append(data, qsizetype(length));
    return length;
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    if (size * count >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        // A redirect's own body is not the answer.
        auto *transfer = static_cast<Transfer *>(user);
        transfer->body.clear();
        transfer->received = 0;
    }
    return size * count;
}

// Lets abortAll() end a request that is waiting for an answer.
int onProgress(void *, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return aborting.load() ? 1 : 0;
}

bool hasHeader(const Http::Headers &headers, const QByteArray &name)
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

CURL *newHandle(const QString &url, int timeoutSeconds, bool useCookieStore)
{
    CURL *curl = curl_easy_init();
    if (!curl)
        return nullptr;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData()); // libcurl copies the string
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Redirects are followed here, hop by hop (see follow()), not by libcurl: the session must not go along
    // to another host or down to plain http.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/5.0 (X11; Linux x86_64) Melodrop/" MELODROP_VERSION);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    if (useCookieStore) {
        curl_easy_setopt(curl, CURLOPT_SHARE, store().share);
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // turns the cookie engine on without reading a file
    }
    return curl;
}

thread_local int unansweredHere = 0;

// Counts a request that went out and got nothing back, on this thread and for the process (with its cause). An
// address that is no address never went out: nobody was asked, so nobody failed to answer.
void noteFailure(CURLcode result, const QString &cause)
{
    if (result == CURLE_URL_MALFORMAT || result == CURLE_UNSUPPORTED_PROTOCOL)
        return;
    ++unansweredHere;
    recordUnanswered(cause);
}

} // namespace

namespace Http {

namespace {

// Performs the request on `curl` and follows its redirects, at most maxRedirects of them within the one
// time-out. The session (the Cookie field the caller gave, the cookie store) goes along only as far as it
// would in a browser: the field never to another host, neither of them from https down to http.
CURLcode follow(CURL *curl, QString url, curl_slist *headers, curl_slist *headersWithoutCookie,
                bool useCookieStore, int timeoutSeconds, Transfer *transfer, QString *finalUrl)
{
    constexpr int maxRedirects = 20;
    QElapsedTimer clock;
    clock.start();
    bool sendCookieField = true;
    for (int hop = 0;; ++hop) {
        const QByteArray address = url.toUtf8();
        curl_easy_setopt(curl, CURLOPT_URL, address.constData());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, sendCookieField ? headers : headersWithoutCookie);
        const qint64 left = qint64(timeoutSeconds) * 1000 - clock.elapsed();
        if (left <= 0)
            return CURLE_OPERATION_TIMEDOUT;
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(left));
        if (transfer) {
            transfer->body.clear();
            transfer->received = 0;
        }
        const CURLcode result = curl_easy_perform(curl);
        if (result != CURLE_OK)
            return result;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        char *location = nullptr;
        if (status < 300 || status > 399 ||
            curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || location == nullptr) {
            *finalUrl = url;
            return CURLE_OK;
        }
        if (hop == maxRedirects)
            return CURLE_TOO_MANY_REDIRECTS;
        const QString next = QString::fromUtf8(location);
        const Http::Hop decision = Http::redirect(url, next);
        if (!decision.follow)
            return CURLE_UNSUPPORTED_PROTOCOL;
        sendCookieField = sendCookieField && decision.keepCookieField;
        if (useCookieStore && !decision.keepCookieStore) {
            // Detached from the store: nothing of it goes out, nothing that comes back goes in.
            curl_easy_setopt(curl, CURLOPT_SHARE, nullptr);
            curl_easy_setopt(curl, CURLOPT_COOKIEFILE, nullptr);
            useCookieStore = false;
        }
        url = next;
    }
}

Response perform(const QString &url, const Headers &headers, int timeoutSeconds, bool useCookieStore,
                 bool windows1251)
{
    Response response;
    if (aborting.load())
        return response;
    CURL *curl = newHandle(url, timeoutSeconds, useCookieStore);
    if (!curl)
        return response;
    curl_slist *list = nullptr;
    curl_slist *listWithoutCookie = nullptr;
    for (const auto &[name, value] : headers) {
        const QByteArray line = name + ": " + value;
        list = curl_slist_append(list, line.constData());
        if (name.compare("Cookie", Qt::CaseInsensitive) != 0)
            listWithoutCookie = curl_slist_append(listWithoutCookie, line.constData());
    }
    // Decoding is libcurl's. It sends the Accept-Encoding field only when the caller asked for one (the
    // caller's own field, in its place), yet decodes a compressed answer either way.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    if (!hasHeader(headers, "Accept-Encoding")) {
        list = curl_slist_append(list, "Accept-Encoding:");
        listWithoutCookie = curl_slist_append(listWithoutCookie, "Accept-Encoding:");
    }
    // An announced length over the limit ends the request before any of the body is read.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maxBodyBytes));
    Transfer transfer;
    transfer.windows1251 = windows1251;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    QString finalUrl;
    const CURLcode result =
        follow(curl, url, list, listWithoutCookie, useCookieStore, timeoutSeconds, &transfer, &finalUrl);
    if (result == CURLE_OK) {
        response.received = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
        response.body = std::move(transfer.body);
    } else {
        if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
            response.error = QStringLiteral("ответ больше %1 МБ").arg(QString::number(maxBodyBytes >> 20));
        else
            response.error =
                errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(result));
        noteFailure(result, response.error + QStringLiteral(" (") + url + QLatin1Char(')'));
    }
    curl_slist_free_all(list);
    curl_slist_free_all(listWithoutCookie);
    curl_easy_cleanup(curl);
    return response;
}

} // namespace

Response get(const QString &url, const Headers &headers, int timeoutSeconds, bool useCookieStore)
{
    return perform(url, headers, timeoutSeconds, useCookieStore, false);
}

Response head(const QString &url, int timeoutSeconds)
{
    Response response;
    CURL *curl = newHandle(url, timeoutSeconds, true);
    if (!curl)
        return response;
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    QString finalUrl;
    const CURLcode result =
        aborting.load() ? CURLE_ABORTED_BY_CALLBACK
                        : follow(curl, url, nullptr, nullptr, true, timeoutSeconds, nullptr, &finalUrl);
    if (result == CURLE_OK) {
        response.received = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    } else {
        response.error = QString::fromUtf8(curl_easy_strerror(result));
        noteFailure(result, response.error + QStringLiteral(" (") + url + QLatin1Char(')'));
    }
    curl_easy_cleanup(curl);
    return response;
}

Hop redirect(const QString &from, const QString &to)
{
    const QUrl source(from);
    const QUrl target(to);
    Hop hop;
    hop.follow = target.isValid() && !target.host().isEmpty() &&
                 (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"));
    const bool downgrade =
        source.scheme() == QLatin1String("https") && target.scheme() == QLatin1String("http");
    const bool sameHost = source.host().compare(target.host(), Qt::CaseInsensitive) == 0 &&
                          source.port(source.scheme() == QLatin1String("https") ? 443 : 80) ==
                              target.port(target.scheme() == QLatin1String("https") ? 443 : 80);
    hop.keepCookieField = hop.follow && !downgrade && sameHost;
    hop.keepCookieStore = hop.follow && !downgrade;
    return hop;
}

QString servicePage(const QString &url, const QString &sid, bool *answered)
{
    return QString::fromUtf8(servicePageUtf8(url, sid, answered));
}

QByteArray servicePageUtf8(const QString &url, const QString &sid, bool *answered)
{
    const Headers headers{
        {"Cookie", "remixsid=" + sid.toUtf8()},
        {"X-Requested-With", "XMLHttpRequest"},
        {"Accept-Encoding", "gzip"},
    };
    Response response = perform(url, headers, 120, false, true);
    if (answered != nullptr)
        *answered = response.received;
    return std::move(response.body); // empty when nothing arrived
}

int unansweredRequests()
{
    return unanswered.load();
}

QString firstUnansweredCause()
{
    std::lock_guard lock(causeMutex);
    return firstCause;
}

void abortAll()
{
    aborting.store(true);
}

int unansweredRequestsOnThisThread()
{
    return unansweredHere;
}

QList<Cookie> cookies()
{
    QList<Cookie> result;
    CURL *curl = curl_easy_init();
    if (!curl)
        return result;
    curl_easy_setopt(curl, CURLOPT_SHARE, store().share);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    curl_slist *list = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
        // Netscape format: domain, tail match, path, secure, expiry, name, value.
        for (curl_slist *item = list; item; item = item->next) {
            const QList<QByteArray> fields = QByteArray(item->data).split('\t');
            if (fields.size() < 7)
                continue;
            QByteArray domain = fields.at(0);
            if (domain.startsWith("#HttpOnly_"))
                domain = domain.mid(10);
            result.append({QString::fromUtf8(domain), QString::fromUtf8(fields.at(2)),
                           QString::fromUtf8(fields.at(5)), QString::fromUtf8(fields.at(6))});
        }
    }
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return result;
}

void deleteAllCookies()
{
    CURL *curl = curl_easy_init();
    if (!curl)
        return;
    curl_easy_setopt(curl, CURLOPT_SHARE, store().share);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL");
    curl_easy_cleanup(curl);
}

} // namespace Http
