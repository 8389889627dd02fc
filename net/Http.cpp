#include "net/Http.h"

#include "decoding/Text.h"

#include <curl/curl.h>
#include <zlib.h>

#include <array>
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
    QByteArray contentEncoding; // of the last answer: redirects reset it
};

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    static_cast<Transfer *>(user)->body.append(data, qsizetype(size * count));
    return size * count;
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    if (line.startsWith("HTTP/")) {
        transfer->contentEncoding.clear();
        transfer->body.clear(); // a redirect's own body is not the answer
    } else if (line.toLower().startsWith("content-encoding:")) {
        transfer->contentEncoding = line.mid(17).trimmed().toLower();
    }
    return size * count;
}

// Inflates a gzip or zlib body; gives the input back when it is not compressed after all.
QByteArray inflateBody(const QByteArray &compressed)
{
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return compressed;
    QByteArray out;
    std::array<char, 64 * 1024> chunk;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk.data());
        stream.avail_out = uInt(chunk.size());
        rc = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk.data(), qsizetype(chunk.size() - stream.avail_out));
        if (rc == Z_BUF_ERROR && stream.avail_in == 0)
            break; // truncated answer: keep what was decoded
    }
    inflateEnd(&stream);
    if (rc != Z_STREAM_END && out.isEmpty())
        return compressed;
    return out;
}

CURL *newHandle(const QString &url, int timeoutSeconds, bool useCookieStore)
{
    CURL *curl = curl_easy_init();
    if (!curl)
        return nullptr;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData()); // libcurl copies the string
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/5.0 (X11; Linux x86_64) Melodrop/" MELODROP_VERSION);
    if (useCookieStore) {
        curl_easy_setopt(curl, CURLOPT_SHARE, store().share);
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // turns the cookie engine on without reading a file
    }
    return curl;
}

} // namespace

namespace Http {

Response get(const QString &url, const Headers &headers, int timeoutSeconds, bool useCookieStore)
{
    Response response;
    CURL *curl = newHandle(url, timeoutSeconds, useCookieStore);
    if (!curl)
        return response;
    curl_slist *list = nullptr;
    for (const auto &[name, value] : headers)
        list = curl_slist_append(list, (name + ": " + value).constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    Transfer transfer;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);

    if (curl_easy_perform(curl) == CURLE_OK) {
        response.received = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
        const QByteArray &encoding = transfer.contentEncoding;
        response.body = (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate")
                            ? inflateBody(transfer.body)
                            : std::move(transfer.body);
    }
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return response;
}

long head(const QString &url, int timeoutSeconds)
{
    CURL *curl = newHandle(url, timeoutSeconds, true);
    if (!curl)
        return 0;
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    long status = 0;
    if (curl_easy_perform(curl) == CURLE_OK)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    return status;
}

QString servicePage(const QString &url, const QString &sid)
{
    const Headers headers{
        {"Cookie", "remixsid=" + sid.toUtf8()},
        {"X-Requested-With", "XMLHttpRequest"},
        {"Accept-Encoding", "gzip"},
    };
    const Response response = get(url, headers, 120);
    if (!response.received)
        return {};
    return Text::decodeWindows1251(response.body);
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
