#include "library/LibraryScan.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<bool> entryTypesIgnored{false};

// `tail` (up to `end`) is `extension` in any case. The extensions are ASCII ("mp3", "mp4"), and no other
// character lower-cases to one of theirs, so the bytes of the name can be compared as they are.
bool sameIgnoringAsciiCase(const char *tail, const char *end, const QByteArray &extension)
{
    if (end - tail != extension.size())
        return false;
    for (qsizetype i = 0; i < extension.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != extension.at(i))
            return false;
    }
    return true;
}

// One statx relative to the folder being read; false when nothing is there (gone, or a link leading nowhere).
bool statAt(int folder, const char *name, bool followLink, struct statx &status)
{
    const int flags = AT_NO_AUTOMOUNT | (followLink ? 0 : AT_SYMLINK_NOFOLLOW);
    return ::statx(folder, name, flags, STATX_TYPE | STATX_SIZE, &status) == 0;
}

LibraryScan::Folder readFolder(const QString &path, const QByteArray &extension,
                               QList<LibraryScan::Entry> *rows)
{
    LibraryScan::Folder folder;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return folder;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return folder;
    }
    const bool typesIgnored = entryTypesIgnored.load(std::memory_order_relaxed);
    while (const struct dirent64 *entry = ::readdir64(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        const char *end = name + std::strlen(name);
        const char *dot = std::strrchr(name, '.');
        // QFileInfo's suffix starts after any last dot; the library's extension never at a leading one.
        const bool suffixMatches = dot && sameIgnoringAsciiCase(dot + 1, end, extension);
        const bool extensionMatches = suffixMatches && dot != name;
        if (suffixMatches)
            ++folder.mediaEntries;

        unsigned char type = typesIgnored ? (unsigned char)DT_UNKNOWN : entry->d_type;
        struct statx status;
        bool sized = false; // `status` holds the size of what the name leads to
        if (type == DT_UNKNOWN) {
            // The file system gave no type: one statx gives it, and the size with it.
            if (statAt(fd, name, false, status)) {
                type = (unsigned char)IFTODT(status.stx_mode);
                sized = type != DT_LNK;
            } else {
                type = DT_REG; // gone since it was read: a file of nothing
                status.stx_size = 0;
                sized = true;
            }
        }

        bool isFolder = type == DT_DIR;
        qint64 bytes = 0;
        if (type == DT_LNK) {
            // Where the link leads decides, as QFileInfo decides: a folder is listed as one (and never walked
            // into), a file has that file's size. Only a row or a sum needs to know.
            if (rows || extensionMatches) {
                struct statx target;
                if (statAt(fd, name, true, target)) {
                    isFolder = S_ISDIR(target.stx_mode);
                    bytes = qint64(target.stx_size);
                }
            }
        } else if (!isFolder && extensionMatches) {
            if (sized)
                bytes = qint64(status.stx_size);
            else if (statAt(fd, name, false, status))
                bytes = qint64(status.stx_size);
        }

        if (type == DT_DIR)
            folder.subfolders.append(QFile::decodeName(name));
        if (!isFolder && extensionMatches) {
            folder.mediaBytes += std::max<qint64>(0, bytes);
            folder.mediaFiles.append(QFile::decodeName(name));
        }
        if (rows && (isFolder || extensionMatches))
            rows->append(LibraryScan::Entry{QFile::decodeName(name), isFolder, isFolder ? 0 : bytes});
    }
    ::closedir(dir);
    return folder;
}

// By name ignoring case as QDir sorts (each name lower-cased, then compared code unit by code unit); names
// equal but for case keep a fixed order.
void sortByName(QList<LibraryScan::Entry>::iterator first, QList<LibraryScan::Entry>::iterator last)
{
    struct Keyed
    {
        QString key;
        LibraryScan::Entry entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(last - first));
    for (auto it = first; it != last; ++it) {
        QString key = it->name.toLower();
        keyed.push_back(Keyed{std::move(key), std::move(*it)});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        const int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : a.entry.name < b.entry.name;
    });
    for (Keyed &one : keyed)
        *first++ = std::move(one.entry);
}

} // namespace

namespace LibraryScan {

Listing list(const QString &path, const QString &extension)
{
    Listing listing;
    listing.folder = readFolder(path, extension.toLatin1(), &listing.entries);
    const auto files = std::stable_partition(listing.entries.begin(), listing.entries.end(),
                                             [](const Entry &entry) { return entry.folder; });
    sortByName(listing.entries.begin(), files);
    sortByName(files, listing.entries.end());
    return listing;
}

Folder read(const QString &path, const QString &extension)
{
    return readFolder(path, extension.toLatin1(), nullptr);
}

QHash<QString, Folder> walk(const QString &path, const QString &key, const QString &extension)
{
    const QByteArray ascii = extension.toLatin1();
    QHash<QString, Folder> found;
    struct Pending
    {
        QString path;
        QString key;
    };
    QList<Pending> pending{Pending{path, key}};
    while (!pending.isEmpty()) {
        const Pending next = pending.takeLast();
        Folder folder = readFolder(next.path, ascii, nullptr);
        for (const QString &name : std::as_const(folder.subfolders))
            pending.append(Pending{next.path + QLatin1Char('/') + name, childKey(next.key, name)});
        found.insert(next.key, std::move(folder));
    }
    return found;
}

QString childKey(const QString &key, const QString &name)
{
    return key.isEmpty() ? name : key + QLatin1Char('/') + name;
}

void setEntryTypesIgnored(bool ignored)
{
    entryTypesIgnored.store(ignored, std::memory_order_relaxed);
}

QString pathExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {}; // no dot, or a hidden name such as ".mp3"
    return name.mid(dot + 1);
}

} // namespace LibraryScan
