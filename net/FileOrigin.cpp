#include "net/FileOrigin.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <set>
#include <utility>

#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

std::atomic<bool> attributesDisabled{false};

// The files this process created, by device and inode: a name can be reused by another file.
std::mutex ownMutex;
std::set<std::pair<dev_t, ino_t>> &ownFiles()
{
    static std::set<std::pair<dev_t, ino_t>> files;
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
    if (recorded.attributesSupported)
        recorded.validator = attribute(fd, validatorAttribute, &recorded.attributesSupported);
    return recorded;
}

bool write(int fd, const QString &url, const QByteArray &validator)
{
    std::pair<dev_t, ino_t> id;
    if (identity(fd, &id)) {
        std::lock_guard lock(ownMutex);
        ownFiles().insert(id);
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
    return true;
}

void forgetValidator(int fd)
{
    ::fremovexattr(fd, validatorAttribute);
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
