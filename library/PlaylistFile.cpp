#include "library/PlaylistFile.h"

#include "core/PropertyList.h"

#include <QVariantList>

namespace PlaylistFile {

bool write(const QString &path, const QList<PlaylistEntry> &entries)
{
    QVariantList root;
    root.reserve(entries.size());
    for (const PlaylistEntry &entry : entries)
        root.append(QVariant(QVariantList{entry.file, QStringLiteral("0")}));
    return PropertyList::write(path, root);
}

std::optional<QList<PlaylistEntry>> read(const QString &path)
{
    const std::optional<QVariant> root = PropertyList::read(path);
    if (!root || root->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<PlaylistEntry> entries;
    for (const QVariant &item : root->toList()) {
        const QVariantList pair = item.toList();
        if (pair.size() < 2 || pair.at(0).typeId() != QMetaType::QString ||
            pair.at(1).typeId() != QMetaType::QString)
            continue; // not an entry: skipped rather than failing the whole list
        entries.append(PlaylistEntry{pair.at(0).toString(), pair.at(1).toString()});
    }
    return entries;
}

} // namespace PlaylistFile
