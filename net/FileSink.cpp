#include "net/FileSink.h"

#include "net/FileOrigin.h"
#include "net/FileWriter.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kernel is asked to start writing back every this many bytes, so that the sync before the rename finds
// little left to do and dirty pages do not pile up behind a fast transfer.
constexpr quint64 writeBackStep = 8 * 1024 * 1024;

std::atomic<bool> directDisabled{false};

// The alignment direct writes need on the open file `fd`, in file offsets and in memory alike (a multiple of
// the page size, so that no page is ever written both ways); 0 when the file takes none.
size_t directAlignment(int fd)
{
    size_t align = size_t(std::max(4096L, ::sysconf(_SC_PAGESIZE)));
    struct statx info = {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) == 0 && (info.stx_mask & STATX_DIOALIGN)) {
        if (info.stx_dio_offset_align == 0)
            return 0;
        align = std::max({align, size_t(info.stx_dio_offset_align), size_t(info.stx_dio_mem_align)});
    }
    // A block must hold whole aligned stretches.
    if ((align & (align - 1)) != 0 || FileSink::blockSize % align != 0)
        return 0;
    return align;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The files whose lock a sink of this process holds, by device and inode.
std::mutex heldMutex;
std::set<std::pair<dev_t, ino_t>> &heldFiles()
{
    static std::set<std::pair<dev_t, ino_t>> files;
    return files;
}

bool heldHere(dev_t device, ino_t inode)
{
    std::lock_guard lock(heldMutex);
    return heldFiles().count({device, inode}) > 0;
}

// Whether `name` (not followed if a link) is the file `info` describes.
bool namesFile(const QByteArray &name, const struct stat &info)
{
    struct stat now = {};
    return ::lstat(name.constData(), &now) == 0 && now.st_dev == info.st_dev && now.st_ino == info.st_ino;
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
    closeFile();
}

int FileSink::closeFile()
{
    if (m_fd < 0)
        return 0;
    {
        std::lock_guard lock(heldMutex);
        heldFiles().erase({m_device, m_inode});
    }
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 ? 0 : errno;
}

bool FileSink::open(bool create)
{
    const QByteArray name = QFile::encodeName(m_path);
    // Whatever stands at the name is looked at, never what it points to: a link there (planted, or left by
    // anything) would have the download written into another file. Each round either opens the file or
    // clears the name of what cannot be used; a name that keeps changing under us gives up.
    for (int round = 0; round < 8; ++round) {
        // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused below.
        int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT) {
            if (!create)
                return false;
            fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_CREAT | O_EXCL, 0644);
            if (fd < 0 && errno == EEXIST)
                continue; // someone else was quicker: look at what is there now
            if (fd < 0)
                return false;
        }
        if (fd < 0) {
            if (errno != ELOOP && errno != ENXIO)
                return false;
            // A link (ELOOP), or a socket (ENXIO): no file of ours.
            if (!create) {
                errno = ENOENT;
                return false;
            }
            if (::unlink(name.constData()) != 0 && errno != ENOENT)
                return false;
            continue;
        }
        struct stat info = {};
        if (::fstat(fd, &info) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        // A file with another name too (a hard link to someone's file) would be written through just as well.
        if (!S_ISREG(info.st_mode) || info.st_nlink != 1) {
            ::close(fd);
            if (info.st_nlink == 0)
                continue; // removed meanwhile
            if (!create) {
                errno = ENOENT;
                return false;
            }
            if (::unlink(name.constData()) != 0 && errno != ENOENT)
                return false;
            continue;
        }
        // Two downloads of one name (another process's queue numbers its items from 1 as well) must never
        // write into one file.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        // The lock must be on the file that bears the name: it may have been replaced or removed between the
        // open and the lock (the clean-up at exit removes temporary files that nobody holds).
        if (!namesFile(name, info)) {
            ::close(fd);
            continue;
        }
        const int flags = ::fcntl(fd, F_GETFL) & ~O_NONBLOCK;
        ::fcntl(fd, F_SETFL, flags);
        // The file system may refuse direct writes already here; then every write takes the page cache.
        const size_t align = directDisabled.load() ? 0 : directAlignment(fd);
        if (align > 0 && ::fcntl(fd, F_SETFL, flags | O_DIRECT) == 0) {
            m_align = align;
            m_direct.store(true);
            m_directSet = true;
        }
        if (::fstat(fd, &info) == 0)
            m_sizeOnOpen = quint64(info.st_size);
        m_fd = fd;
        m_device = info.st_dev;
        m_inode = info.st_ino;
        std::lock_guard lock(heldMutex);
        heldFiles().insert({m_device, m_inode});
        return true;
    }
    errno = EAGAIN;
    return false;
}

bool FileSink::removeUnlessHeldElsewhere(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        // A link, or a file we may not read: no transfer of ours holds that.
        return ::unlink(name.constData()) == 0 || errno == ENOENT;
    }
    struct stat info = {};
    bool remove = ::fstat(fd, &info) == 0;
    // A transfer holds its file's lock from its start to its end. Ours stop with the program; another
    // process's goes on and needs its file.
    if (remove && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        remove = errno == EWOULDBLOCK && heldHere(info.st_dev, info.st_ino);
    // Removed while locked and only if it still bears the name, so that a transfer starting now either held
    // it first or opens a new file.
    const bool removed = remove && namesFile(name, info) && ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
}

void FileSink::truncate(quint64 keep)
{
    m_filled = 0;
    m_offset = keep;
    m_lead = size_t(keep % m_align);
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

void FileSink::FreeBlock::operator()(char *block) const
{
    std::free(block);
}

FileSink::Block FileSink::newBlock() const
{
    // Not cleared: every byte written from it was appended first.
    void *memory = std::aligned_alloc(std::max(m_align, alignof(std::max_align_t)), blockSize);
    if (!memory)
        throw std::bad_alloc();
    return Block(static_cast<char *>(memory));
}

FileSink::Append FileSink::append(const char *data, size_t size)
{
    if (m_error.load() != 0)
        return Append::Failed;
    const size_t space = m_block ? blockSize - m_lead - m_filled : 0;
    size_t needed = 0;
    if (size > space) {
        // A full block ends on an aligned offset, so the next one starts at its beginning; a block begun
        // now starts at its data's place in their aligned stretch.
        const size_t lead = m_block ? 0 : size_t(m_offset % m_align);
        needed = (size - space + lead + blockSize - 1) / blockSize;
    }
    std::vector<Block> blocks;
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
                blocks.push_back(newBlock());
                m_blocksOut.fetch_add(1);
            }
        }
    }
    size_t next = 0;
    while (size > 0) {
        if (!m_block) {
            m_block = std::move(blocks[next++]);
            m_lead = size_t(m_offset % m_align);
            m_filled = 0;
        }
        const size_t count = std::min(size, blockSize - m_lead - m_filled);
        std::memcpy(m_block.get() + m_lead + m_filled, data, count);
        m_filled += count;
        data += count;
        size -= count;
        if (m_lead + m_filled == blockSize)
            flush();
    }
    return Append::Ok;
}

void FileSink::flush()
{
    if (!m_block || m_filled == 0)
        return;
    const size_t lead = m_lead;
    const size_t size = m_filled;
    const quint64 at = m_offset;
    m_offset += size;
    m_filled = 0;
    // std::function needs a copyable job: the block travels as a shared pointer to its owner.
    auto block = std::make_shared<Block>(std::move(m_block));
    m_writer.post([self = shared_from_this(), block, lead, size, at] {
        self->writeBlock(std::move(*block), lead, size, at);
    });
}

void FileSink::setDirectWritesDisabledForTesting(bool disabled)
{
    directDisabled.store(disabled);
}

bool FileSink::setDirect(bool on)
{
    if (m_directSet == on)
        return true;
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) != 0)
        return false;
    m_directSet = on;
    return true;
}

bool FileSink::writeRange(const char *data, size_t size, quint64 at, bool direct)
{
    while (size > 0) {
        if (direct && !setDirect(true)) {
            m_direct.store(false);
            direct = false;
        }
        if (!direct && !setDirect(false)) {
            recordError(errno);
            return false;
        }
        const ssize_t written = ::pwrite(m_fd, data, size, off_t(at));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && direct && errno == EINVAL) {
            // The file system took the flag but refuses the writes: the page cache it is, from now on.
            m_direct.store(false);
            direct = false;
            continue;
        }
        if (written <= 0) {
            recordError(written < 0 ? errno : EIO);
            return false;
        }
        if (!direct)
            m_unsynced += quint64(written);
        data += written;
        size -= size_t(written);
        at += quint64(written);
        // The rest of a short direct write goes on directly only while it stays aligned.
        if (direct && (at % m_align != 0 || size % m_align != 0))
            direct = false;
    }
    return true;
}

void FileSink::writeBlock(Block block, size_t lead, size_t size, quint64 at)
{
    if (m_error.load() == 0) {
        const char *data = block.get() + lead;
        const quint64 end = at + size;
        // The whole pages in the middle go directly, the partial ones at either end through the page cache.
        const quint64 first = (at + m_align - 1) / m_align * m_align;
        const quint64 last = end / m_align * m_align;
        if (m_direct.load() && first < last) {
            writeRange(data, size_t(first - at), at, false) &&
                writeRange(data + (first - at), size_t(last - first), first, true) &&
                writeRange(data + (last - at), size_t(end - last), last, false);
        } else {
            writeRange(data, size, at, false);
        }
        if (m_error.load() == 0 && m_unsynced >= writeBackStep) {
            const quint64 from = std::min(m_syncedUpTo, at);
            ::sync_file_range(m_fd, off_t(from), off_t(end - from), SYNC_FILE_RANGE_WRITE);
            m_syncedUpTo = end;
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
    const QByteArray from = QFile::encodeName(m_path);
    struct stat written = {};
    written.st_dev = m_device;
    written.st_ino = m_inode;
    if (m_fd >= 0) {
        // A file renamed into place must be on the disk first: after a crash the name never shows a file
        // whose data were still only in memory.
        if (placeIt && m_error.load() == 0 && ::fsync(m_fd) != 0)
            recordError(errno);
        if (placeIt)
            FileOrigin::markFinished(m_fd);
        if (const int closeError = closeFile(); closeError != 0 && placeIt)
            recordError(closeError);
    }
    // What is moved into place is the file written, never something put at its name since (a link).
    if (placeIt && m_error.load() == 0 && !namesFile(from, written))
        recordError(ENOENT);
    int error = m_error.load();
    if (error != 0)
        description = QCoreApplication::translate("Melodrop", "Не удалось записать файл %1: %2")
                          .arg(m_path, systemText(error));
    QString finalPath;
    if (placeIt && error == 0) {
        for (int n = 1; n < 1000; ++n) {
            const QString candidate = n == 1 ? place.destination : numbered(place.destination, n);
            const QByteArray to = QFile::encodeName(candidate);
            // The names themselves: a link at a name is something there, whatever it points to, and
            // rename replaces the link, never the file behind it.
            struct stat info = {};
            const bool exists = ::lstat(to.constData(), &info) == 0;
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
