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
//
// The file is synced before it is renamed into place, so its data have to reach the disk anyway: where the
// file system allows, whole aligned pages go there directly (O_DIRECT), without a copy into the page cache
// and its write-back; only a block's unaligned start and end take the ordinary path. A block holds the bytes
// of one aligned stretch of the file at their place in it, so that its aligned part sits at an aligned
// address.
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

    // Whether whole pages of this file are written past the page cache (for the tests).
    bool writesDirectly() const { return m_direct.load(); }
    // Lets the tests run the path of a file system that takes no direct writes.
    static void setDirectWritesDisabledForTesting(bool disabled);

    // Removes the temporary file at `path` unless a transfer of another process (melodrop-cli, another
    // instance) holds its lock; this process's own transfers end with it, so their files go too. A link is
    // removed itself. True when nothing is left at the name.
    static bool removeUnlessHeldElsewhere(const QString &path);

private:
    struct FreeBlock
    {
        void operator()(char *block) const;
    };
    using Block = std::unique_ptr<char[], FreeBlock>;

    Block newBlock() const;
    // Writes `size` bytes that start at `lead` in the block to the file at `at`.
    void writeBlock(Block block, size_t lead, size_t size, quint64 at);
    // One stretch, directly or through the page cache; false after a failure (recorded).
    bool writeRange(const char *data, size_t size, quint64 at, bool direct);
    bool setDirect(bool on);
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
    // Alignment of direct writes in file and memory (1 without them); fixed when the file is opened.
    size_t m_align = 1;

    // The transfer thread's side.
    Block m_block;
    size_t m_lead = 0;    // where the data start in the block: their file offset modulo m_align
    size_t m_filled = 0;  // bytes of data in the block
    quint64 m_offset = 0; // where the block's data start in the file

    // Shared with the disk thread.
    mutable std::mutex m_poolMutex;
    std::vector<Block> m_pool;
    std::atomic<int> m_blocksOut{0}; // blocks allocated
    std::atomic<int> m_error{0};
    std::atomic<bool> m_direct{false}; // whole pages go past the page cache; cleared if the file refuses
    bool m_directSet = false;          // disk thread: O_DIRECT is on the descriptor now
    quint64 m_unsynced = 0;            // disk thread: bytes written to the page cache since the last hint
    quint64 m_syncedUpTo = 0;          // disk thread
};
