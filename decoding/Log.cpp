#include "decoding/Log.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex logMutex;
Log::Sink currentSink;
} // namespace

void Log::line(const QString &text)
{
    std::lock_guard lock(logMutex);
    if (currentSink) {
        currentSink(text);
        return;
    }
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

Log::Sink Log::setSink(Sink sink)
{
    std::lock_guard lock(logMutex);
    Sink previous = std::move(currentSink);
    currentSink = std::move(sink);
    return previous;
}
