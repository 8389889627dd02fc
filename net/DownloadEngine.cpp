#include "net/DownloadEngine.h"

#include "net/FileOrigin.h"
#include "net/FileSink.h"
#include "net/FileWriter.h"

#include <QCoreApplication>
#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Large blocks keep the system calls few: libcurl reads up to its maximum at once and the file gets 1 MiB
// writes (FileSink). Both are bounded, so memory does not grow with the file.
constexpr long curlBufferSize = 512 * 1024;

// "bytes 100-199/1000" → {100, 199, 1000}, "bytes */1000" → {-1, -1, 1000}; a total given as "*" is -1.
struct ContentRange
{
    long long first = -1;
    long long last = -1;
    long long total = -1;
    bool valid = false;
};

ContentRange parseContentRange(const QByteArray &value)
{
    ContentRange range;
    QByteArray text = value.trimmed();
    if (!text.toLower().startsWith("bytes"))
        return range;
    text = text.mid(5).trimmed();
    const int slash = text.indexOf('/');
    if (slash < 0)
        return range;
    const QByteArray span = text.left(slash).trimmed();
    const QByteArray total = text.mid(slash + 1).trimmed();
    bool ok = true;
    if (total != "*") {
        range.total = total.toLongLong(&ok);
        if (!ok)
            return range;
    }
    if (span != "*") {
        const int dash = span.indexOf('-');
        if (dash <= 0)
            return range;
        range.first = span.left(dash).toLongLong(&ok);
        if (!ok)
            return range;
        range.last = span.mid(dash + 1).toLongLong(&ok);
        if (!ok || range.last < range.first || (range.total >= 0 && range.last >= range.total))
            return range;
    }
    range.valid = true;
    return range;
}

// The engine-wide receive rate: bytes counted into quarter-second buckets over the last five seconds.
class Bandwidth
{
public:
    void add(quint64 bytes, Clock::time_point now)
    {
        if (bytes == 0)
            return;
        std::lock_guard lock(m_mutex);
        if (!m_started) {
            m_started = true;
            m_start = now;
        }
        Bucket &bucket = bucketFor(now);
        bucket.bytes += bytes;
    }

    quint64 average(Clock::time_point now) const
    {
        std::lock_guard lock(m_mutex);
        if (!m_started)
            return 0;
        const long long current = period(now);
        quint64 sum = 0;
        for (const Bucket &bucket : m_buckets) {
            if (bucket.period >= 0 && current - bucket.period < static_cast<long long>(m_buckets.size()))
                sum += bucket.bytes;
        }
        // Until five seconds have passed, the average is over the time since the first byte.
        const double window = std::clamp(std::chrono::duration<double>(now - m_start).count(), 1.0,
                                         double(m_buckets.size()) * periodMs / 1000.0);
        return quint64(double(sum) / window);
    }

private:
    static constexpr int periodMs = 250;
    struct Bucket
    {
        long long period = -1;
        quint64 bytes = 0;
    };
    long long period(Clock::time_point now) const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count() / periodMs;
    }
    Bucket &bucketFor(Clock::time_point now)
    {
        const long long current = period(now);
        Bucket &bucket = m_buckets[size_t(current % static_cast<long long>(m_buckets.size()))];
        if (bucket.period != current)
            bucket = {current, 0};
        return bucket;
    }

    mutable std::mutex m_mutex;
    bool m_started = false;
    Clock::time_point m_start;
    std::array<Bucket, 20> m_buckets;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// DownloadRequest

DownloadRequest::DownloadRequest(Options options, Callbacks callbacks)
    : m_options(std::move(options)), m_callbacks(std::move(callbacks)), m_context(m_callbacks.context)
{}

std::shared_ptr<DownloadRequest> DownloadRequest::create(Options options, Callbacks callbacks)
{
    return std::shared_ptr<DownloadRequest>(new DownloadRequest(std::move(options), std::move(callbacks)));
}

DownloadRequest::Error DownloadRequest::error() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

QString DownloadRequest::errorDescription() const
{
    std::lock_guard lock(m_errorMutex);
    return m_errorDescription;
}

int DownloadRequest::systemError() const
{
    std::lock_guard lock(m_errorMutex);
    return m_systemError;
}

long DownloadRequest::httpStatus() const
{
    std::lock_guard lock(m_errorMutex);
    return m_httpStatus;
}

QString DownloadRequest::finalPath() const
{
    std::lock_guard lock(m_errorMutex);
    return m_finalPath;
}

void DownloadRequest::setError(Error error, const QString &description, int systemError, long httpStatus)
{
    std::lock_guard lock(m_errorMutex);
    m_error = error;
    m_errorDescription = description;
    m_systemError = systemError;
    m_httpStatus = httpStatus;
}

void DownloadRequest::cancel()
{
    if (m_engine)
        m_engine->cancelRequest(this);
    else
        m_cancelled.store(true);
}

// ---------------------------------------------------------------------------------------------------------------
// One running transfer, owned by the transfer thread.

struct DownloadTransfer
{
    DownloadRequestPtr request;
    struct DownloadWorker *worker = nullptr;
    CURL *easy = nullptr;
    std::shared_ptr<FileSink> sink; // opened when a file answer arrives (or when an existing file is found)
    FileSink::Placement placement;
    char errorText[CURL_ERROR_SIZE] = {};
    QByteArray rangeText;
    curl_slist *headers = nullptr;
    bool paused = false; // waiting for the disk thread to hand a block back

    quint64 offset = 0;    // bytes already in the file when this attempt began (the Range start)
    quint64 fileBytes = 0; // bytes of the file now, the ones still on their way to the disk included
    QByteArray validator;  // the recorded validator of the part on disk, sent as If-Range
    // The whole file's size as recorded with the part on disk or given by an earlier answer; 0 when unknown.
    quint64 expectedTotal = 0;
    int retriesUsed = 0;
    int silentTimeouts = 0; // time-outs in a row whose attempts received nothing
    bool heard = false;     // this attempt has received a byte
    bool firstAttempt = true;
    bool startFresh = false;     // the part on disk is not to be continued
    bool restartedFresh = false; // a fresh start after an unusable 416 happened already

    // The answer being read; redirects and interim answers reset it.
    long status = 0;
    long long contentLengthHeader = -1;
    QByteArray contentRangeHeader;
    QByteArray etag;
    QByteArray lastModified;
    bool hasLocation = false;
    bool finalAnswer = false;     // the body of this answer is the file
    bool alreadyComplete = false; // 416 for a Range that starts at the end of our complete file
    bool restartWanted = false;   // 416 or 206 that does not fit the file on disk: start again from zero
    bool partAnswer = false;      // a 206 whose body is written: the file is complete only at its total
    long long expectedBody = -1;
    quint64 bodyBytes = 0;

    DownloadRequest::Error failure = DownloadRequest::Error::None;
    QString failureText;
    int failureErrno = 0;
    long failureStatus = 0;

    quint64 unreported = 0; // received since the last report to the main thread
    Clock::time_point lastReport;
    Clock::time_point lastActivity; // the attempt's start, or its last header or body byte

    ~DownloadTransfer() { curl_slist_free_all(headers); }

    const DownloadRequest::Options &options() const { return request->options(); }

    void fail(DownloadRequest::Error error, const QString &text, int systemError = 0, long httpStatus = 0)
    {
        if (failure == DownloadRequest::Error::None) {
            failure = error;
            failureText = text;
            failureErrno = systemError;
            failureStatus = httpStatus;
        }
    }

    void failFile(int error)
    {
        fail(DownloadRequest::Error::File,
             QCoreApplication::translate("Melodrop", "Не удалось записать файл %1: %2")
                 .arg(options().temporaryPath, QString::fromLocal8Bit(std::strerror(error))),
             error);
    }

    // Opens the temporary file (FileSink::open); false (the failure recorded) when it cannot be, or another
    // download has it. Without `create`, no file to continue there is no failure: `sink` stays empty.
    bool openSink(bool create);

    // Where an attempt starts. The first attempt looks at a temporary file left on disk: it is continued
    // only when its recorded origin is this address, else the answer's data replace it. Later attempts
    // (after a time-out) continue what this request wrote.
    bool prepareAttempt()
    {
        offset = 0;
        if (firstAttempt) {
            firstAttempt = false;
            // The name itself, not what a link there points to: a link is replaced by the finished file.
            const QByteArray destination = QFile::encodeName(options().destinationPath);
            struct stat info = {};
            if (::lstat(destination.constData(), &info) == 0) {
                placement.destinationExisted = true;
                placement.destinationDevice = info.st_dev;
                placement.destinationInode = info.st_ino;
            }
            placement.destination = options().destinationPath;
            // A file left at the temporary name is taken now, so that nobody else writes into it while the
            // answer is on its way; anything else there (a link) is no file to continue.
            if (!openSink(false))
                return false;
            if (sink && options().allowResume && sink->sizeOnOpen() > 0) {
                const FileOrigin::Recorded origin = FileOrigin::read(sink->fd());
                const bool ours = origin.attributesSupported ? origin.url == options().url
                                                             : FileOrigin::createdHere(sink->fd());
                // A part longer than the file it was recorded for cannot be its start.
                if (ours && (origin.size == 0 || sink->sizeOnOpen() <= origin.size)) {
                    offset = sink->sizeOnOpen();
                    validator = origin.validator;
                    expectedTotal = origin.size;
                }
            }
        } else if (sink && options().allowResume && !startFresh) {
            offset = fileBytes;
        }
        if (startFresh) {
            offset = 0;
            expectedTotal = 0;
        }
        fileBytes = offset;
        request->m_totalBytesRead.store(fileBytes);
        return true;
    }

    // Starts the file's data at byte `keep` (0: the whole file comes again) and records where it came from
    // and the whole file's size (`total`, 0 when unknown).
    bool openFile(quint64 keep, quint64 total)
    {
        if (!openSink(true))
            return false;
        sink->truncate(keep);
        // A weak ETag cannot be used in If-Range; the date can.
        const QByteArray strongTag = etag.startsWith("W/") ? QByteArray() : etag;
        const QByteArray answerValidator = strongTag.isEmpty() ? lastModified : strongTag;
        // The rest of a file keeps the validator recorded with its start when the answer names none.
        if (keep == 0 || !answerValidator.isEmpty())
            validator = answerValidator; // a retry after a time-out asks for the rest of this very file
        FileOrigin::write(sink->fd(), options().url, validator, total);
        expectedTotal = total;
        offset = keep;
        fileBytes = keep;
        request->m_totalBytesRead.store(fileBytes);
        return true;
    }

    void failPartialAnswer()
    {
        const QString range = contentRangeHeader.isEmpty()
                                  ? QStringLiteral("-")
                                  : QString::fromLatin1(contentRangeHeader.left(100));
        fail(DownloadRequest::Error::PartialAnswer,
             QCoreApplication::translate(
                 "Melodrop",
                 "Ошибка загрузки, неполный ответ сервера: Content-Range %1 на запрос с байта %2 (%3)")
                 .arg(range, QString::number(offset), options().url));
    }

    // A 206 is taken only for what was asked: the part from `offset` (0 without Range) of the file whose
    // start is on disk; whether it reaches the file's end is checked when it is complete.
    bool beginPartAnswer()
    {
        const ContentRange range = parseContentRange(contentRangeHeader);
        const bool knownPart = range.valid && range.first >= 0;
        const bool otherSize =
            knownPart && range.total >= 0 && expectedTotal > 0 && quint64(range.total) != expectedTotal;
        if (otherSize && offset > 0 && validator.isEmpty()) {
            // Without a validator the size is all that tells two files apart: another size is another file,
            // and the part on disk is not its start.
            restartWanted = true;
            return false;
        }
        const long long length = knownPart ? range.last - range.first + 1 : -1;
        if (!knownPart || range.first != (long long)offset || otherSize ||
            (contentLengthHeader >= 0 && contentLengthHeader != length)) {
            failPartialAnswer();
            if (otherSize && sink) {
                // The server vouched (If-Range) for the file whose start we have, and gives another size:
                // which of the two is wrong cannot be told, so the part is not kept for a resume.
                sink->truncate(0);
                fileBytes = 0;
                request->m_totalBytesRead.store(0);
            }
            return false;
        }
        const quint64 total = range.total >= 0    ? quint64(range.total)
                              : expectedTotal > 0 ? expectedTotal
                                                  : quint64(range.last) + 1;
        if (!openFile(offset, range.total >= 0 || expectedTotal > 0 ? total : 0))
            return false;
        partAnswer = true;
        expectedBody = length;
        request->m_contentLength.store(total);
        return true;
    }

    // The answer whose headers just ended: decides whether its body is the file, and where it goes.
    bool beginAnswer()
    {
        if (status < 200)
            return true; // interim answer
        if (status >= 300 && status < 400 && hasLocation)
            return true; // libcurl follows it; its body is not ours
        finalAnswer = true;
        if (status >= 400) {
            if (status == 416 && offset > 0) {
                // A Range from the end of our complete file has nothing left to send. Any other 416 means
                // the file on disk does not fit the one behind the address: it starts again.
                const ContentRange range = parseContentRange(contentRangeHeader);
                if (range.valid && range.total == (long long)offset &&
                    (expectedTotal == 0 || expectedTotal == offset)) {
                    alreadyComplete = true;
                    request->m_contentLength.store(offset);
                    return true;
                }
                restartWanted = true;
                return false;
            }
            fail(DownloadRequest::Error::HttpStatus,
                 QCoreApplication::translate("Melodrop", "Сервер ответил кодом %1: %2")
                     .arg(QString::number(status), options().url),
                 0, status);
            return false;
        }
        if (status == 206)
            return beginPartAnswer();
        // A whole file: the first answer, a server that sent everything instead of the rest, or one whose
        // file changed (If-Range). Either way the file starts again from its first byte.
        if (!openFile(0, contentLengthHeader > 0 ? quint64(contentLengthHeader) : 0))
            return false;
        expectedBody = contentLengthHeader;
        request->m_contentLength.store(contentLengthHeader > 0 ? quint64(contentLengthHeader) : 0);
        return true;
    }

    void resetAnswer()
    {
        status = 0;
        contentLengthHeader = -1;
        contentRangeHeader.clear();
        etag.clear();
        lastModified.clear();
        hasLocation = false;
        finalAnswer = false;
        alreadyComplete = false;
        restartWanted = false;
        partAnswer = false;
        expectedBody = -1;
        bodyBytes = 0;
    }

    static size_t onHeader(char *data, size_t size, size_t count, void *user)
    {
        auto *self = static_cast<DownloadTransfer *>(user);
        const size_t length = size * count;
        self->lastActivity = Clock::now();
        self->heardFrom();
        const QByteArray line = QByteArray(data, qsizetype(length)).trimmed();
        if (line.startsWith("HTTP/")) {
            self->resetAnswer();
            const QList<QByteArray> parts = line.split(' ');
            self->status = parts.size() > 1 ? parts.at(1).toLong() : 0;
        } else if (line.isEmpty()) {
            if (!self->beginAnswer())
                return 0; // stops the transfer; the failure is already recorded
        } else {
            const int colon = line.indexOf(':');
            if (colon > 0) {
                const QByteArray name = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (name == "content-length") {
                    bool ok = false;
                    const long long value64 = value.toLongLong(&ok);
                    self->contentLengthHeader = ok && value64 >= 0 ? value64 : -1;
                } else if (name == "content-range") {
                    self->contentRangeHeader = value;
                } else if (name == "location") {
                    self->hasLocation = true;
                } else if (name == "etag") {
                    self->etag = value;
                } else if (name == "last-modified") {
                    self->lastModified = value;
                }
            }
        }
        return length;
    }

    static size_t onBody(char *data, size_t size, size_t count, void *user);

    void heardFrom()
    {
        if (heard)
            return;
        heard = true;
        silentTimeouts = 0;
        request->m_retryWaiting.store(0);
    }
};

// ---------------------------------------------------------------------------------------------------------------
// The transfer thread.

struct DownloadWorker
{
    DownloadEngine *engine = nullptr;
    CURLM *multi = nullptr;
    std::thread thread;
    Bandwidth bandwidth;
    std::unique_ptr<FileWriter> disk;

    // Handed over by the main thread.
    std::mutex mutex;
    std::deque<DownloadRequestPtr> incoming;
    int limit = 3;
    bool cancelPending = false;
    bool stopping = false;

    // The transfer thread's own.
    std::deque<DownloadRequestPtr> waiting;
    std::vector<std::unique_ptr<DownloadTransfer>> running;
    quint64 receivedSinceSample = 0;

    FileWriter &writer() { return *disk; }
    void wake() { curl_multi_wakeup(multi); }

    void post(const DownloadRequestPtr &request, bool ended, bool finished)
    {
        DownloadEngine *target = engine;
        if (ended) {
            QMetaObject::invokeMethod(
                target, [target, request, finished] { target->deliverEnd(request, finished); },
                Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(
                target, [target, request] { target->deliverProgress(request); }, Qt::QueuedConnection);
        }
    }

    // Hands the bytes counted so far to the main thread; at most one progress call is on its way per request.
    void report(DownloadTransfer &transfer, Clock::time_point now)
    {
        transfer.lastReport = now;
        // The file on disk follows the reports, so a crash loses at most one interval of data.
        if (transfer.sink)
            transfer.sink->flush();
        if (transfer.unreported == 0)
            return;
        const quint64 bytes = transfer.unreported;
        transfer.unreported = 0;
        if (transfer.request->m_unreportedBytes.fetch_add(bytes) == 0)
            post(transfer.request, false, false);
    }

    // Called on any thread: the end goes to the main thread after the file work is done.
    void end(const DownloadRequestPtr &request, DownloadRequest::Error error, const QString &text,
             int systemError = 0, long httpStatus = 0, const QString &finalPath = QString())
    {
        const bool finished = error == DownloadRequest::Error::None;
        if (!finished)
            request->setError(error, text, systemError, httpStatus);
        {
            std::lock_guard lock(request->m_errorMutex);
            request->m_finalPath = finalPath;
        }
        request->m_executing.store(false);
        request->m_finished.store(true);
        post(request, true, finished);
    }

    bool startAttempt(DownloadTransfer &transfer)
    {
        transfer.resetAnswer();
        transfer.errorText[0] = 0;
        transfer.paused = false;
        transfer.heard = false;
        if (!transfer.prepareAttempt())
            return false;
        transfer.request->m_attempts.fetch_add(1);
        transfer.lastActivity = Clock::now();
        if (!transfer.easy) {
            transfer.easy = curl_easy_init();
            if (!transfer.easy) {
                transfer.fail(DownloadRequest::Error::Connection,
                              QCoreApplication::translate("Melodrop", "Не удалось начать загрузку"));
                return false;
            }
        }
        CURL *easy = transfer.easy;
        const DownloadRequest::Options &options = transfer.options();
        const long timeoutMs = std::max(1L, long(std::ceil(options.timeoutSeconds * 1000)));
        curl_easy_setopt(easy, CURLOPT_URL, options.url.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Melodrop/" MELODROP_VERSION);
        // A proxy's own "200 Connection established" must never be taken for the file's answer: that would
        // start a resumed file again from zero.
        curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        if (!options.proxy.isEmpty()) {
            curl_easy_setopt(easy, CURLOPT_PROXY, options.proxy.toUtf8().constData());
            curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
        }
        // The time-out is for silence, not for the whole file: the transfer loop ends an attempt that has
        // gone that long without a byte (libcurl's low-speed check averages over seconds and reacts late).
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, curlBufferSize);
        curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorText);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &DownloadTransfer::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &DownloadTransfer::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
        // A plain Range header rather than libcurl's resume option: that one refuses a 200 answer, and a
        // 200 answer is still the whole file, which we take.
        curl_slist_free_all(transfer.headers);
        transfer.headers = nullptr;
        if (transfer.offset > 0) {
            transfer.rangeText = QByteArray::number(transfer.offset) + '-';
            curl_easy_setopt(easy, CURLOPT_RANGE, transfer.rangeText.constData());
            // The rest of the file only if it is still the file we have the start of; else the whole new one.
            if (!transfer.validator.isEmpty())
                transfer.headers =
                    curl_slist_append(transfer.headers, ("If-Range: " + transfer.validator).constData());
        } else {
            curl_easy_setopt(easy, CURLOPT_RANGE, nullptr);
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
            transfer.fail(DownloadRequest::Error::Connection,
                          QCoreApplication::translate("Melodrop", "Не удалось начать загрузку"));
            return false;
        }
        return true;
    }

    void start(const DownloadRequestPtr &request)
    {
        if (request->isCancelled()) {
            end(request, DownloadRequest::Error::Cancelled,
                QCoreApplication::translate("Melodrop", "Загрузка отменена"));
            return;
        }
        auto transfer = std::make_unique<DownloadTransfer>();
        transfer->request = request;
        transfer->worker = this;
        request->m_executing.store(true);
        if (!startAttempt(*transfer)) {
            finishTransfer(*transfer, false);
            return;
        }
        running.push_back(std::move(transfer));
    }

    // Closes the transfer's handle and file and reports its end once the disk thread is through with the
    // file (nothing is reported when the engine is going away).
    void finishTransfer(DownloadTransfer &transfer, bool inMulti, bool notify = true)
    {
        if (transfer.easy) {
            if (inMulti)
                curl_multi_remove_handle(multi, transfer.easy);
            curl_easy_cleanup(transfer.easy);
            transfer.easy = nullptr;
        }
        if (!notify) {
            if (transfer.sink)
                transfer.sink->close(nullptr, {});
            transfer.sink.reset();
            transfer.request->m_executing.store(false);
            return;
        }
        report(transfer, Clock::now());
        if (transfer.failure == DownloadRequest::Error::None && !transfer.sink)
            transfer.fail(DownloadRequest::Error::File,
                          QCoreApplication::translate("Melodrop", "Сервер не прислал файл: %1")
                              .arg(transfer.options().url));
        if (!transfer.sink) {
            end(transfer.request, transfer.failure, transfer.failureText, transfer.failureErrno,
                transfer.failureStatus);
            return;
        }
        const bool complete = transfer.failure == DownloadRequest::Error::None;
        auto closed = [this, request = transfer.request, failure = transfer.failure,
                       text = transfer.failureText, failureErrno = transfer.failureErrno,
                       status = transfer.failureStatus](int error, const QString &description,
                                                        const QString &finalPath) {
            if (failure != DownloadRequest::Error::None)
                end(request, failure, text, failureErrno, status);
            else if (error != 0)
                end(request, DownloadRequest::Error::File, description, error);
            else
                end(request, DownloadRequest::Error::None, QString(), 0, 0, finalPath);
        };
        transfer.sink->close(complete ? &transfer.placement : nullptr, std::move(closed));
        transfer.sink.reset();
    }

    // Starts the transfer again without a Range; false when that is not possible.
    bool restart(DownloadTransfer &transfer)
    {
        curl_multi_remove_handle(multi, transfer.easy);
        return startAttempt(transfer);
    }

    // A transfer libcurl has ended: finished, retried after a time-out, or failed.
    void completed(DownloadTransfer &transfer, CURLcode result)
    {
        if (transfer.restartWanted && !transfer.restartedFresh &&
            transfer.failure == DownloadRequest::Error::None) {
            transfer.restartedFresh = true;
            transfer.startFresh = true;
            if (restart(transfer))
                return;
            finishTransfer(transfer, false);
            return;
        }
        if (transfer.failure == DownloadRequest::Error::None && transfer.sink && transfer.sink->error() != 0)
            transfer.failFile(transfer.sink->error());
        if (transfer.failure == DownloadRequest::Error::None) {
            if (result == CURLE_OK) {
                if (!transfer.finalAnswer)
                    transfer.fail(DownloadRequest::Error::Connection,
                                  QCoreApplication::translate("Melodrop", "Сервер не прислал файл: %1")
                                      .arg(transfer.options().url));
                else if (!transfer.alreadyComplete && transfer.expectedBody >= 0 &&
                         transfer.bodyBytes != quint64(transfer.expectedBody))
                    transfer.fail(
                        DownloadRequest::Error::Incomplete,
                        QCoreApplication::translate("Melodrop", "Передача оборвалась: получено %1 из %2 байт")
                            .arg(QString::number(transfer.bodyBytes),
                                 QString::number(transfer.expectedBody)));
                // A part is a finished file only when it was asked for and reaches the file's end; what it
                // brought stays for a resume.
                else if (transfer.partAnswer &&
                         (transfer.offset == 0 || transfer.fileBytes != transfer.request->contentLength()))
                    transfer.failPartialAnswer();
            } else if (result == CURLE_OPERATION_TIMEDOUT) {
                const DownloadRequest::Options &options = transfer.options();
                if (!transfer.heard)
                    ++transfer.silentTimeouts;
                if (options.giveUpAfterSilentTimeouts > 0 &&
                    transfer.silentTimeouts >= options.giveUpAfterSilentTimeouts) {
                    transfer.fail(DownloadRequest::Error::NoAnswer,
                                  QCoreApplication::translate(
                                      "Melodrop",
                                      "Нет ответа сервиса: ни одного байта за %2 с, попыток подряд: %1 (%3)")
                                      .arg(QString::number(transfer.silentTimeouts),
                                           QString::number(options.timeoutSeconds), options.url));
                } else if (transfer.retriesUsed < options.retriesOnTimeout) {
                    ++transfer.retriesUsed;
                    transfer.request->m_retryWaiting.store(transfer.retriesUsed);
                    if (restart(transfer))
                        return;
                    finishTransfer(transfer, false);
                    return;
                } else {
                    transfer.fail(
                        DownloadRequest::Error::TimedOut,
                        QCoreApplication::translate("Melodrop", "Превышено время ожидания ответа: %1")
                            .arg(options.url));
                }
            } else if (result == CURLE_PARTIAL_FILE) {
                transfer.fail(
                    DownloadRequest::Error::Incomplete,
                    QCoreApplication::translate("Melodrop", "Передача оборвалась: получено %1 из %2 байт")
                        .arg(QString::number(transfer.bodyBytes), QString::number(transfer.expectedBody)));
            } else {
                const QString detail = transfer.errorText[0] ? QString::fromUtf8(transfer.errorText)
                                                             : QString::fromUtf8(curl_easy_strerror(result));
                transfer.fail(DownloadRequest::Error::Connection,
                              QCoreApplication::translate("Melodrop", "Ошибка соединения: %1 (%2)")
                                  .arg(detail, transfer.options().url));
            }
        }
        finishTransfer(transfer, true);
    }

    void run()
    {
        for (;;) {
            bool cancelScan = false;
            {
                std::lock_guard lock(mutex);
                if (stopping)
                    break;
                while (!incoming.empty()) {
                    waiting.push_back(std::move(incoming.front()));
                    incoming.pop_front();
                }
                cancelScan = cancelPending;
                cancelPending = false;
            }
            if (cancelScan)
                cancelMarked();
            schedule();
            resumePaused();

            int stillRunning = 0;
            curl_multi_perform(multi, &stillRunning);
            bool ended = false;
            int left = 0;
            while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                DownloadTransfer *transfer = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
                const CURLcode result = message->data.result;
                completed(*transfer, result);
                ended = true;
            }
            if (ended)
                dropEnded();

            const Clock::time_point now = Clock::now();
            bool silent = false;
            for (auto &transfer : running) {
                if (!transfer->easy)
                    continue;
                if (now - transfer->lastReport >=
                    std::chrono::milliseconds(DownloadEngine::progressIntervalMs))
                    report(*transfer, now);
                if (transfer->paused)
                    transfer->lastActivity = now; // waiting for the disk is not silence of the network
                if (now - transfer->lastActivity >=
                    std::chrono::duration<double>(std::max(0.001, transfer->options().timeoutSeconds))) {
                    completed(*transfer, CURLE_OPERATION_TIMEDOUT);
                    silent = true;
                }
            }
            if (silent) {
                dropEnded();
                ended = true;
            }
            bandwidth.add(receivedSinceSample, now);
            receivedSinceSample = 0;
            if (ended)
                continue; // free slots: start the next ones right away
            curl_multi_poll(multi, nullptr, 0, running.empty() ? 1000 : DownloadEngine::progressIntervalMs,
                            nullptr);
        }
        for (auto &transfer : running)
            finishTransfer(*transfer, true, false);
        running.clear();
    }

    // Transfers that waited for the disk go on once a block is free again (or end when the disk failed).
    void resumePaused()
    {
        bool ended = false;
        for (auto &transfer : running) {
            if (!transfer->paused || !transfer->easy || !transfer->sink)
                continue;
            if (transfer->sink->error() != 0) {
                transfer->failFile(transfer->sink->error());
                finishTransfer(*transfer, true);
                ended = true;
            } else if (transfer->sink->hasRoom()) {
                transfer->paused = false;
                curl_easy_pause(transfer->easy, CURLPAUSE_CONT);
            }
        }
        if (ended)
            dropEnded();
    }

    void schedule()
    {
        while (int(running.size()) < limitValue() && !waiting.empty()) {
            DownloadRequestPtr request = std::move(waiting.front());
            waiting.pop_front();
            start(request);
        }
    }

    int limitValue()
    {
        std::lock_guard lock(mutex);
        return std::max(1, limit);
    }

    void cancelMarked()
    {
        for (auto it = waiting.begin(); it != waiting.end();) {
            if ((*it)->isCancelled()) {
                end(*it, DownloadRequest::Error::Cancelled,
                    QCoreApplication::translate("Melodrop", "Загрузка отменена"));
                it = waiting.erase(it);
            } else {
                ++it;
            }
        }
        for (auto &transfer : running) {
            if (transfer->request->isCancelled() && transfer->easy) {
                transfer->fail(DownloadRequest::Error::Cancelled,
                               QCoreApplication::translate("Melodrop", "Загрузка отменена"));
                finishTransfer(*transfer, true);
            }
        }
        dropEnded();
    }

    void dropEnded()
    {
        running.erase(std::remove_if(running.begin(), running.end(),
                                     [](const std::unique_ptr<DownloadTransfer> &t) { return !t->easy; }),
                      running.end());
    }
};

bool DownloadTransfer::openSink(bool create)
{
    if (sink && sink->isOpen())
        return true;
    sink = std::make_shared<FileSink>(worker->writer(), options().temporaryPath);
    if (sink->open(create))
        return true;
    const int error = errno;
    sink.reset();
    if (!create && error == ENOENT)
        return true;
    if (error == EWOULDBLOCK) {
        fail(DownloadRequest::Error::File,
             QCoreApplication::translate("Melodrop", "Файл %1 занят другой загрузкой")
                 .arg(options().temporaryPath),
             error);
    } else {
        failFile(error);
    }
    return false;
}

size_t DownloadTransfer::onBody(char *data, size_t size, size_t count, void *user)
{
    auto *self = static_cast<DownloadTransfer *>(user);
    const size_t length = size * count;
    self->lastActivity = Clock::now();
    self->heardFrom();
    if (self->failure != DownloadRequest::Error::None)
        return 0;
    if (!self->finalAnswer || self->alreadyComplete)
        return length; // the body of a redirect or of the 416 is not part of the file
    switch (self->sink->append(data, length)) {
    case FileSink::Append::Ok:
        break;
    case FileSink::Append::Full:
        // The disk is behind: libcurl keeps these bytes and hands them again once the transfer goes on.
        self->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    case FileSink::Append::Failed:
        self->failFile(self->sink->error());
        return 0;
    }
    self->bodyBytes += length;
    self->fileBytes += length;
    self->unreported += length;
    self->worker->receivedSinceSample += length;
    self->request->m_totalBytesRead.store(self->fileBytes);
    self->request->m_bytesReceived.fetch_add(length);
    return length;
}

// ---------------------------------------------------------------------------------------------------------------
// DownloadEngine

DownloadEngine::DownloadEngine(QObject *parent)
    : QObject(parent), m_worker(std::make_unique<DownloadWorker>())
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_worker->engine = this;
    m_worker->multi = curl_multi_init();
    m_worker->disk = std::make_unique<FileWriter>([worker = m_worker.get()] { worker->wake(); });
    // A file-size limit (RLIMIT_FSIZE) must end a download with an error, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    m_worker->thread = std::thread([worker = m_worker.get()] { worker->run(); });
}

DownloadEngine::~DownloadEngine()
{
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->stopping = true;
    }
    m_worker->wake();
    m_worker->thread.join();
    m_worker->disk.reset(); // writes what arrived, so that the temporary files keep it
    curl_multi_cleanup(m_worker->multi);
    for (const DownloadRequestPtr &request : std::as_const(m_operations))
        request->m_engine = nullptr;
}

void DownloadEngine::setMaxConcurrentOperationCount(int count)
{
    m_maxConcurrent = std::max(1, count);
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->limit = m_maxConcurrent;
    }
    m_worker->wake();
}

void DownloadEngine::addOperation(const DownloadRequestPtr &request)
{
    if (!request || request->m_engine || request->isFinished())
        return; // a request runs once
    request->m_engine = this;
    m_operations.append(request);
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->incoming.push_back(request);
    }
    m_worker->wake();
}

void DownloadEngine::cancel(const DownloadRequestPtr &request)
{
    if (request)
        request->cancel();
}

void DownloadEngine::cancelAllOperations()
{
    for (const DownloadRequestPtr &request : std::as_const(m_operations))
        request->cancel();
}

void DownloadEngine::cancelRequest(DownloadRequest *request)
{
    if (request->isFinished() || request->m_cancelled.exchange(true))
        return;
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->cancelPending = true;
    }
    m_worker->wake();
}

quint64 DownloadEngine::averageBandwidthUsedPerSecond() const
{
    return m_worker->bandwidth.average(Clock::now());
}

void DownloadEngine::deliverProgress(const DownloadRequestPtr &request)
{
    const quint64 bytes = request->m_unreportedBytes.exchange(0);
    if (bytes == 0)
        return;
    const DownloadRequest::Callbacks &callbacks = request->m_callbacks;
    if (callbacks.receivedBytes && (!callbacks.context || request->m_context))
        callbacks.receivedBytes(*request, bytes);
}

void DownloadEngine::deliverEnd(const DownloadRequestPtr &request, bool finished)
{
    deliverProgress(request); // the last bytes come before the end
    m_operations.removeOne(request);
    request->m_engine = nullptr;
    const DownloadRequest::Callbacks &callbacks = request->m_callbacks;
    if (callbacks.context && !request->m_context)
        return;
    if (finished && callbacks.finished)
        callbacks.finished(*request);
    else if (!finished && callbacks.failed)
        callbacks.failed(*request);
}
