#include "net/FileSink.h"

#include "net/FileOrigin.h"
#include "net/FileWriter.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kernel is asked to start writing back every this many bytes, so that the sync before the rename finds
// little left to do and dirty pages do not pile up behind a fast transfer.
constexpr quint64 writeBackStep = 8 * 1024 * 1024;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Moves `from` to `to` unless `to` exists; false with errno (EEXIST when it does).
bool moveWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // A file system without the flag: a hard link fails the same way on an existing name.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

// "dir/name.ext" → "dir/name (n).ext"; a name without extension gets the number at its end.
QString numbered(const QString &path, int n)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral(" (") + QString::number(n) + QLatin1Char(')');
    if (dot <= slash + 1)
        return path + suffix;
    return path.left(dot) + suffix + path.mid(dot);
}

} // namespace

FileSink::FileSink(FileWriter &writer, QString path) : m_writer(writer), m_path(std::move(path)) {}

FileSink::~FileSink()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileSink::open(bool create)
{
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd < 0)
        return false;
    // Two downloads of one name (another process's queue numbers its items from 1 as well) must never write
    // into one file.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) == 0)
        m_sizeOnOpen = quint64(info.st_size);
    m_fd = fd;
    return true;
}

void FileSink::truncate(quint64 keep)
{
    m_filled = 0;
    m_offset = keep;
    m_writer.post([self = shared_from_this(), keep] {
        if (self->m_error.load() != 0)
            return;
        if (::ftruncate(self->m_fd, off_t(keep)) != 0)
            self->recordError(errno);
        self->m_syncedUpTo = std::min(self->m_syncedUpTo, keep);
    });
}

bool FileSink::hasRoom() const
{
    std::lock_guard lock(m_poolMutex);
    return !m_pool.empty() || m_blocksOut.load() < maxBlocks;
}

FileSink::Append FileSink::append(const char *data, size_t size)
{
    if (m_error.load() != 0)
        return Append::Failed;
    const size_t space = m_block ? blockSize - m_filled : 0;
    const size_t needed = size > space ? (size - space + blockSize - 1) / blockSize : 0;
    std::vector<std::unique_ptr<char[]>> blocks;
    {
        std::lock_guard lock(m_poolMutex);
        const size_t available = m_pool.size() + size_t(maxBlocks - m_blocksOut.load());
        if (available < needed)
            return Append::Full;
        while (blocks.size() < needed) {
            if (!m_pool.empty()) {
                blocks.push_back(std::move(m_pool.back()));
                m_pool.pop_back();
            } else {
                blocks.push_back(std::make_unique<char[]>(blockSize));
                m_blocksOut.fetch_add(1);
            }
        }
    }
    size_t next = 0;
    while (size > 0) {
        if (!m_block) {
            m_block = std::move(blocks[next++]);
            m_filled = 0;
        }
        const size_t count = std::min(size, blockSize - m_filled);
        std::memcpy(m_block.get() + m_filled, data, count);
        m_filled += count;
        data += count;
        size -= count;
        if (m_filled == blockSize)
            flush();
    }
    return Append::Ok;
}

void FileSink::flush()
{
    if (!m_block || m_filled == 0)
        return;
    const size_t size = m_filled;
    const quint64 at = m_offset;
    m_offset += size;
    m_filled = 0;
    // std::function needs a copyable job: the block travels as a shared pointer to its owner.
    auto block = std::make_shared<std::unique_ptr<char[]>>(std::move(m_block));
    m_writer.post(
        [self = shared_from_this(), block, size, at] { self->writeBlock(std::move(*block), size, at); });
}

void FileSink::writeBlock(std::unique_ptr<char[]> block, size_t size, quint64 at)
{
    if (m_error.load() == 0) {
        const char *data = block.get();
        size_t left = size;
        quint64 position = at;
        while (left > 0) {
            const ssize_t written = ::pwrite(m_fd, data, left, off_t(position));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                recordError(errno);
                break;
            }
            data += written;
            left -= size_t(written);
            position += quint64(written);
        }
        m_unsynced += size;
        if (m_unsynced >= writeBackStep) {
            const quint64 from = std::min(m_syncedUpTo, at);
            ::sync_file_range(m_fd, off_t(from), off_t(at + size - from), SYNC_FILE_RANGE_WRITE);
            m_syncedUpTo = at + size;
            m_unsynced = 0;
        }
    }
    {
        std::lock_guard lock(m_poolMutex);
        m_pool.push_back(std::move(block));
    }
    m_writer.roomFreed();
}

void FileSink::recordError(int error)
{
    int none = 0;
    m_error.compare_exchange_strong(none, error ? error : EIO);
}

void FileSink::close(const Placement *place, Closed closed)
{
    flush();
    const bool placeIt = place != nullptr;
    const Placement placement = place ? *place : Placement();
    m_writer.post([self = shared_from_this(), placeIt, placement, closed = std::move(closed)] {
        self->finish(placeIt, placement, closed);
    });
}

void FileSink::finish(bool placeIt, const Placement &place, const Closed &closed)
{
    QString description;
    if (m_fd >= 0) {
        // A file renamed into place must be on the disk first: after a crash the name never shows a file
        // whose data were still only in memory.
        if (placeIt && m_error.load() == 0 && ::fsync(m_fd) != 0)
            recordError(errno);
        if (placeIt)
            FileOrigin::forgetValidator(m_fd);
        if (::close(m_fd) != 0 && placeIt)
            recordError(errno);
        m_fd = -1;
    }
    int error = m_error.load();
    if (error != 0)
        description = QCoreApplication::translate("Melodrop", "Не удалось записать файл %1: %2")
                          .arg(m_path, systemText(error));
    QString finalPath;
    if (placeIt && error == 0) {
        const QByteArray from = QFile::encodeName(m_path);
        for (int n = 1; n < 1000; ++n) {
            const QString candidate = n == 1 ? place.destination : numbered(place.destination, n);
            const QByteArray to = QFile::encodeName(candidate);
            struct stat info = {};
            const bool exists = ::stat(to.constData(), &info) == 0;
            if (n == 1 && exists && place.destinationExisted && info.st_dev == place.destinationDevice &&
                info.st_ino == place.destinationInode) {
                // What was there when the download began (an earlier download of the name): replaced in one
                // step.
                if (::rename(from.constData(), to.constData()) == 0)
                    finalPath = candidate;
                else
                    error = errno;
                break;
            }
            if (exists)
                continue;
            if (moveWithoutReplacing(from, to)) {
                finalPath = candidate;
                break;
            }
            if (errno != EEXIST) {
                error = errno;
                break;
            }
        }
        if (finalPath.isEmpty()) {
            if (error == 0)
                error = EEXIST;
            description = QCoreApplication::translate("Melodrop", "Не удалось переместить файл в %1: %2")
                              .arg(place.destination, systemText(error));
        }
    }
    if (closed)
        closed(error, description, finalPath);
}
