#pragma once

// The fixture of the download engine's tests: the sandbox's storage host, a folder for the files, and
// requests made as the queue makes them (a tag, a temporary file beside the destination, resume allowed).
#include "Files.h"
#include "TestSupport.h"

#include "net/DownloadEngine.h"
#include "net/FileOrigin.h"
#include "net/Http.h"
#include "sandbox/Sandbox.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/xattr.h>

namespace TestSupport {

inline void setAttribute(const QString &path, const char *name, const QByteArray &value)
{
    ASSERT_EQ(
        ::setxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0), 0);
}

// The extended attribute's value; empty when the file has none.
inline QByteArray attributeOf(const QString &path, const char *name)
{
    char value[1024];
    const ssize_t length = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return length < 0 ? QByteArray() : QByteArray(value, length);
}

// How a request ended, and what it reported on the way.
struct Outcome
{
    QObject context;
    bool finished = false;
    bool failed = false;
    quint64 bytes = 0;
    int progressCalls = 0;
    bool progressAfterEnd = false;
    quint64 lastContentLength = 0;
    quint64 lastTotal = 0;
    bool ended() const { return finished || failed; }
    DownloadRequest::Callbacks callbacks()
    {
        DownloadRequest::Callbacks callbacks;
        callbacks.context = &context;
        callbacks.receivedBytes = [this](DownloadRequest &request, quint64 count) {
            progressAfterEnd = progressAfterEnd || ended();
            bytes += count;
            ++progressCalls;
            lastContentLength = request.contentLength();
            lastTotal = request.totalBytesRead();
        };
        callbacks.finished = [this](DownloadRequest &) { finished = true; };
        callbacks.failed = [this](DownloadRequest &) { failed = true; };
        return callbacks;
    }
};

} // namespace TestSupport

class DownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(dir.isValid());
        base = QString::fromStdString(sandbox.baseUrl());
    }
    void TearDown() override { FileOrigin::setAttributesDisabledForTesting(false); }

    QString bytesUrl(qint64 size, const QString &name) const
    {
        return QStringLiteral("%1/storage/bytes/%2/%3.bin").arg(base).arg(size).arg(name);
    }
    // The file as the storage host serves it without faults; the copy does not count as the engine's traffic.
    QByteArray reference(const QString &url)
    {
        Sandbox::StorageFaults &faults = sandbox.storageFaults();
        const long long served = faults.bytesServed.load();
        const long long part = faults.partialAnswerBytes.exchange(-1);
        const QByteArray body = Http::get(url, {}, 10).body;
        faults.partialAnswerBytes = part;
        faults.bytesServed.store(served);
        return body;
    }
    QString temporary(const QString &name) const
    {
        return dir.filePath(QStringLiteral("%1.%2.temp").arg(name).arg(tag));
    }
    DownloadRequest::Options options(const QString &url, const QString &name) const
    {
        DownloadRequest::Options options;
        options.url = url;
        options.destinationPath = dir.filePath(name);
        options.temporaryPath = temporary(name);
        options.tag = tag;
        options.timeoutSeconds = 10;
        options.allowResume = true;
        return options;
    }
    DownloadRequestPtr start(TestSupport::Outcome &outcome, const DownloadRequest::Options &options,
                             DownloadEngine *on = nullptr)
    {
        DownloadRequestPtr started = DownloadRequest::create(options, outcome.callbacks());
        (on ? *on : engine).addOperation(started);
        return started;
    }
    // Runs the download on the fixture's engine until it has ended.
    DownloadRequestPtr run(TestSupport::Outcome &outcome, const DownloadRequest::Options &options)
    {
        DownloadRequestPtr started = start(outcome, options);
        EXPECT_TRUE(TestSupport::waitFor([&] { return outcome.ended(); }, 20000));
        return started;
    }
    DownloadRequestPtr run(TestSupport::Outcome &outcome, const QString &url, const QString &name)
    {
        return run(outcome, options(url, name));
    }

    int tag = 1;
    Sandbox sandbox;
    QTemporaryDir dir;
    QString base;
    DownloadEngine engine;
};
