#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// Small persisted files are property lists: written as XML, atomically; read as XML or binary.
// Values map to QVariant: QString, QVariantList (array), QVariantMap (dict), bool, qint64, double.
namespace PropertyList {

bool write(const QString &path, const QVariant &root);
// Nothing when the file is missing or is no property list.
std::optional<QVariant> read(const QString &path);
// The same for the bytes of a file.
std::optional<QVariant> fromData(const QByteArray &data);

// The request-state files: an array holding one string.
bool writeRequest(const QString &path, const QString &text);
// Element 0 of the file's array when it is a text; nothing otherwise.
std::optional<QString> readRequest(const QString &path);

} // namespace PropertyList
