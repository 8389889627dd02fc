#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Small persisted files are property lists: written as XML (libplist), atomically; read as XML or binary by
// our own readers, which hand each value to a Handler as it is found, so that a caller can build its own
// records without a tree in between. The readers never recurse and never call into libplist: a hostile file
// can neither exhaust the stack nor reach the aborting getters of libplist.
// Values map to QVariant: QString, QVariantList (array), QVariantMap (dict), bool, qint64, double; dates,
// data, UIDs and nulls become an invalid QVariant.
namespace PropertyList {

// Files larger than this are neither read nor written.
inline constexpr qint64 maxFileSize = 64 * 1024 * 1024;
// Arrays and dictionaries nested deeper than this are refused, as the JSON reader refuses them.
inline constexpr int maxDepth = 512;

enum class Error {
    None,
    Missing,   // no file at the path
    NotOpened, // a file that could not be opened or read
    TooLarge,  // larger than maxFileSize, or a binary list whose shared objects expand beyond its size
    TooDeep,   // nested deeper than maxDepth
    Malformed, // no property list, or a damaged or truncated one
};
// The reason for the log.
QString describe(Error error);

// What a reader reports, in document order. Every beginArray or beginDict is matched by one endContainer; in
// a dictionary each value follows its key.
class Handler
{
public:
    virtual ~Handler() = default;
    // `count`: the number of items when the format tells it ahead (binary lists); -1 otherwise.
    virtual void beginArray(qsizetype count) = 0;
    virtual void beginDict() = 0;
    virtual void endContainer() = 0;
    virtual void key(QString &&key) = 0;
    virtual void string(QString &&text) = 0;
    virtual void integer(qint64 value) = 0;
    virtual void real(double value) = 0;
    virtual void boolean(bool value) = 0;
    // A date, data, a UID or a null: values this program keeps no use for.
    virtual void other() = 0;
};

// Reads the bytes of an XML or binary property list. On an error the handler may have seen part of the list.
Error parse(const QByteArray &data, Handler &handler);
// The same for a file; a file larger than maxFileSize is not read at all, an XML one is read a part at a
// time.
Error parseFile(const QString &path, Handler &handler);

enum class WriteResult { Written, TooLarge, Failed };
// Refuses what the readers would refuse: a list nested deeper than maxDepth or larger than maxFileSize.
WriteResult write(const QString &path, const QVariant &root);
// The XML text `write` puts in the file; nothing when the readers would refuse it.
std::optional<QByteArray> toXml(const QVariant &root);

// Nothing when the file is missing or is no property list.
std::optional<QVariant> read(const QString &path);
// The same for the bytes of a file.
std::optional<QVariant> fromData(const QByteArray &data);

// The request-state files: an array holding one string.
bool writeRequest(const QString &path, const QString &text);
// Element 0 of the file's array when it is a text; nothing otherwise.
std::optional<QString> readRequest(const QString &path);

} // namespace PropertyList
