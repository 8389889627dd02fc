#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <sys/types.h>

class FileWriter;

// The temporary file of one transfer. The transfer thread appends into fixed blocks and hands full ones to
// the disk thread (FileWriter); only a bounded number of blocks is on its way at once, so memory stays flat
// when the disk is slower than the network: then append() answers Full and the transfer pauses until a block
// comes back. Every file operation after opening runs on the disk thread, in order.
class FileSink : public std::enable_shared_from_this<FileSink>
{
public:
    static constexpr size_t blockSize = 1024 * 1024;
    static constexpr int maxBlocks = 8;

    enum class Append { Ok, Full, Failed };

    // Where a finished file goes: the destination is replaced only if it is still the file that was there
    // when the download began (or there was none); a file that appeared meanwhile belongs to another
    // download and stays, and this one takes the first free name "name (2).ext", "name (3).ext", …
    struct Placement
    {
        QString destination;
        bool destinationExisted = false;
        dev_t destinationDevice = 0;
        ino_t destinationInode = 0;
    };
    // Called on the disk thread once the file is closed: errno of the first failure (0 for none), the text
    // that names it, and where the file ended up (empty unless it was placed).
    using Closed = std::function<void(int error, const QString &description, const QString &finalPath)>;

    FileSink(FileWriter &writer, QString path);
    ~FileSink();

    const QString &path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Opens the regular file at the path and takes its lock, never through a link; false with errno set,
    // EWOULDBLOCK when another download holds the file. Without `create`, anything else at the name (a link,
    // a file with other names too, a pipe) counts as no file: false with ENOENT. With `create`, a new file
    // takes the place of whatever else stands at the name (a link is removed, never followed), or of none.
    bool open(bool create);
    // Size of the file on disk when it was opened.
    quint64 sizeOnOpen() const { return m_sizeOnOpen; }

    // Keeps the first `keep` bytes; the next data go after them.
    void truncate(quint64 keep);
    Append append(const char *data, size_t size);
    // Hands the block being filled to the disk thread.
    void flush();
    // True when append() has a block free again.
    bool hasRoom() const;
    // errno of a failed write, truncation or sync; 0 while none.
    int error() const { return m_error.load(); }

    // Hands over the rest and closes; with `place` the data are synced and the file is moved to its
    // destination. `closed` may be empty.
    void close(const Placement *place, Closed closed);

    // Removes the temporary file at `path` unless a transfer of another process (melodrop-cli, another
    // instance) holds its lock; this process's own transfers end with it, so their files go too. A link is
    // removed itself. True when nothing is left at the name.
    static bool removeUnlessHeldElsewhere(const QString &path);

private:
    void writeBlock(std::unique_ptr<char[]> block, size_t size, quint64 at);
    void finish(bool placeIt, const Placement &place, const Closed &closed);
    void recordError(int error);
    // Closes the file, which gives its lock up; errno of a failed close, else 0.
    int closeFile();

    FileWriter &m_writer;
    const QString m_path;
    int m_fd = -1;
    dev_t m_device = 0; // the open file's identity
    ino_t m_inode = 0;
    quint64 m_sizeOnOpen = 0;

    // The transfer thread's side.
    std::unique_ptr<char[]> m_block;
    size_t m_filled = 0;
    quint64 m_offset = 0; // where the block being filled starts in the file

    // Shared with the disk thread.
    mutable std::mutex m_poolMutex;
    std::vector<std::unique_ptr<char[]>> m_pool;
    std::atomic<int> m_blocksOut{0}; // blocks allocated and not back in the pool
    std::atomic<int> m_error{0};
    quint64 m_unsynced = 0;   // disk thread: bytes written since the last write-back hint
    quint64 m_syncedUpTo = 0; // disk thread
};
