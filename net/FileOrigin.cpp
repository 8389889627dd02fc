#include "net/FileOrigin.h"

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

std::atomic<bool> attributesDisabled{false};

// The files this process created, by device and inode (a name can be reused by another file), with the size
// recorded for each, for a file system that keeps no attributes.
std::mutex ownMutex;
std::map<std::pair<dev_t, ino_t>, quint64> &ownFiles()
{
    static std::map<std::pair<dev_t, ino_t>, quint64> files;
    return files;
}

bool identity(int fd, std::pair<dev_t, ino_t> *id)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return false;
    *id = {info.st_dev, info.st_ino};
    return true;
}

bool unsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

// The attribute's value; `*supported` turns false when the file system has no attributes at all.
QByteArray attribute(int fd, const char *name, bool *supported)
{
    if (attributesDisabled.load()) {
        *supported = false;
        return {};
    }
    QByteArray value(4096, Qt::Uninitialized);
    const ssize_t length = ::fgetxattr(fd, name, value.data(), size_t(value.size()));
    if (length < 0) {
        if (unsupported(errno))
            *supported = false;
        return {};
    }
    value.truncate(qsizetype(length));
    return value;
}

} // namespace

namespace FileOrigin {

Recorded read(int fd)
{
    Recorded recorded;
    recorded.url = QString::fromUtf8(attribute(fd, urlAttribute, &recorded.attributesSupported));
    if (recorded.attributesSupported) {
        recorded.validator = attribute(fd, validatorAttribute, &recorded.attributesSupported);
        bool ok = false;
        const quint64 size = attribute(fd, sizeAttribute, &recorded.attributesSupported).toULongLong(&ok);
        recorded.size = ok ? size : 0;
    } else if (std::pair<dev_t, ino_t> id; identity(fd, &id)) {
        std::lock_guard lock(ownMutex);
        const auto own = ownFiles().find(id);
        if (own != ownFiles().end())
            recorded.size = own->second;
    }
    return recorded;
}

bool write(int fd, const QString &url, const QByteArray &validator, quint64 size)
{
    std::pair<dev_t, ino_t> id;
    if (identity(fd, &id)) {
        std::lock_guard lock(ownMutex);
        ownFiles()[id] = size;
    }
    if (attributesDisabled.load())
        return false;
    const QByteArray address = url.toUtf8();
    if (::fsetxattr(fd, urlAttribute, address.constData(), size_t(address.size()), 0) != 0)
        return false;
    if (validator.isEmpty())
        ::fremovexattr(fd, validatorAttribute);
    else
        ::fsetxattr(fd, validatorAttribute, validator.constData(), size_t(validator.size()), 0);
    const QByteArray sizeText = QByteArray::number(size);
    if (size == 0)
        ::fremovexattr(fd, sizeAttribute);
    else
        ::fsetxattr(fd, sizeAttribute, sizeText.constData(), size_t(sizeText.size()), 0);
    return true;
}

void markFinished(int fd)
{
    ::fremovexattr(fd, validatorAttribute);
    ::fremovexattr(fd, sizeAttribute);
    std::pair<dev_t, ino_t> id;
    if (identity(fd, &id)) {
        std::lock_guard lock(ownMutex);
        ownFiles().erase(id);
    }
}

bool createdHere(int fd)
{
    std::pair<dev_t, ino_t> id;
    if (!identity(fd, &id))
        return false;
    std::lock_guard lock(ownMutex);
    return ownFiles().count(id) > 0;
}

void setAttributesDisabledForTesting(bool disabled)
{
    attributesDisabled.store(disabled);
}

} // namespace FileOrigin
