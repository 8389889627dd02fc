#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class DownloadEngine;

// One file download: its options are fixed when it is made; its counters are written by the engine's transfer
// thread and may be read from any thread. Callbacks run on the thread of `context` (the main thread) and are
// dropped once the context object is gone.
class DownloadRequest
{
public:
    struct Options
    {
        QString url;
        QString temporaryPath; // data go here while the transfer runs
        // The temporary file is renamed to this when complete. It replaces the file of that name that was
        // there when the download began; a file that appeared there meanwhile (another download of the same
        // name) stays, and this one is saved as "name (2).ext" (or the next free number): see finalPath().
        QString destinationPath;
        int tag = 0;
        double timeoutSeconds = 120; // connect time-out, and the longest stretch without a single byte
        int retriesOnTimeout = 0;    // a time-out restarts the transfer this many times
        // When not 0: this many time-outs in a row whose attempts received not a single byte end the
        // transfer (Error::NoAnswer), retries left or not. A host that takes the connection and never answers
        // would otherwise hold the transfer for every retry.
        int giveUpAfterSilentTimeouts = 0;
        // Continue an existing temporary file with a Range request, but only one whose recorded origin is
        // this address (see FileOrigin.h), with If-Range when the server named a validator, and only while
        // the file behind the address keeps the size recorded with the part: any other temporary file of that
        // name starts again from its first byte.
        bool allowResume = false;
        // A proxy ("http://host:port") to tunnel through with CONNECT; empty: libcurl's usual environment.
        QString proxy;
    };

    struct Callbacks
    {
        QObject *context = nullptr;
        std::function<void(DownloadRequest &, quint64 bytes)> receivedBytes;
        std::function<void(DownloadRequest &)> finished;
        std::function<void(DownloadRequest &)> failed;
    };

    enum class Error {
        None,
        Cancelled,
        TimedOut,   // after the last retry
        Connection, // libcurl's own failures: refused, reset, closed early, …
        HttpStatus, // an answer of 400 or more
        Incomplete, // the answer ended short of its length
        File,       // the temporary or final file could not be written (systemError() tells why)
        NoAnswer,   // giveUpAfterSilentTimeouts time-outs in a row without a byte
        // A 206 that is not the rest of the file that was asked for: to a request without Range, from another
        // byte than the one asked for, of a file of another size, or ending before the file's end. What it
        // held is kept only when it is the file's part it claims to be.
        PartialAnswer,
    };

    static std::shared_ptr<DownloadRequest> create(Options options, Callbacks callbacks);

    const Options &options() const { return m_options; }
    int tag() const { return m_options.tag; }

    // The whole file's size as far as the answer tells (a resumed transfer adds the part already on disk); 0
    // while unknown.
    quint64 contentLength() const { return m_contentLength.load(); }
    // The bytes of the file so far, the part already on disk included.
    quint64 totalBytesRead() const { return m_totalBytesRead.load(); }
    // Bytes that came over the network for this request, all attempts together.
    quint64 bytesReceived() const { return m_bytesReceived.load(); }
    int attempts() const { return m_attempts.load(); }
    // The time-out retry under way (1, 2, …) while it has not received a byte; 0 otherwise.
    int retryWaiting() const { return m_retryWaiting.load(); }
    bool isExecuting() const { return m_executing.load(); }
    bool isFinished() const { return m_finished.load(); }
    bool isCancelled() const { return m_cancelled.load(); }

    Error error() const;
    // A localised description of the failure; empty while none.
    QString errorDescription() const;
    // The file system's errno behind an Error::File, the answer's status behind an Error::HttpStatus; else 0.
    int systemError() const;
    long httpStatus() const;
    // Where the finished file was saved: the destination, or its numbered variant. Empty until finished.
    QString finalPath() const;

    // Stops the transfer (through its engine once added); the failure callback follows.
    void cancel();

    // The callbacks; the engine calls them on the main thread (tests may call them directly).
    const Callbacks &callbacks() const { return m_callbacks; }

private:
    friend class DownloadEngine;
    friend struct DownloadTransfer;
    friend struct DownloadWorker;
    DownloadRequest(Options options, Callbacks callbacks);
    void setError(Error error, const QString &description, int systemError, long httpStatus);

    const Options m_options;
    Callbacks m_callbacks;
    QPointer<QObject> m_context;
    std::atomic<quint64> m_contentLength{0};
    std::atomic<quint64> m_totalBytesRead{0};
    std::atomic<quint64> m_bytesReceived{0};
    std::atomic<quint64> m_unreportedBytes{0}; // handed over to the main thread, not yet delivered
    std::atomic<int> m_attempts{0};
    std::atomic<int> m_retryWaiting{0};
    std::atomic<bool> m_executing{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_errorMutex;
    Error m_error = Error::None;
    QString m_errorDescription;
    int m_systemError = 0;
    long m_httpStatus = 0;
    QString m_finalPath;
    DownloadEngine *m_engine = nullptr; // main thread only
};

using DownloadRequestPtr = std::shared_ptr<DownloadRequest>;

// The transfer pool: requests run in the order they were added, at most maxConcurrentOperationCount at a
// time, all on one transfer thread driving a libcurl multi handle. Created and used on the main thread.
class DownloadEngine : public QObject
{
    Q_OBJECT

public:
    // Progress reaches the main thread at most this often per transfer; the byte counts add up exactly.
    static constexpr int progressIntervalMs = 100;

    explicit DownloadEngine(QObject *parent = nullptr);
    // Stops every transfer without callbacks; temporary files stay.
    ~DownloadEngine() override;

    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const { return m_maxConcurrent; }

    void addOperation(const DownloadRequestPtr &request);
    // Requests added and not yet reported finished or failed, in the order they were added.
    QList<DownloadRequestPtr> operations() const { return m_operations; }
    void cancel(const DownloadRequestPtr &request);
    void cancelAllOperations();

    // Bytes per second received by all transfers over the last few seconds.
    quint64 averageBandwidthUsedPerSecond() const;

private:
    friend class DownloadRequest;
    friend struct DownloadWorker;
    void cancelRequest(DownloadRequest *request);
    // Main-thread ends of the transfer thread's reports.
    void deliverProgress(const DownloadRequestPtr &request);
    void deliverEnd(const DownloadRequestPtr &request, bool finished);

    int m_maxConcurrent = 3;
    QList<DownloadRequestPtr> m_operations;
    std::unique_ptr<struct DownloadWorker> m_worker;
};
