#include "core/DataReset.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace DataReset {

int deletePlaylistsAndRequests(const QString &root)
{
    int deleted = 0;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString suffix = QFileInfo(path).suffix(); // text after the last dot, case kept
        if (suffix == QLatin1String("tune") || suffix == QLatin1String("tuneplaylist")) {
            if (QFile::remove(path))
                ++deleted;
        }
    }
    return deleted;
}

namespace {

void emptyFolder(const QString &path)
{
    const QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

} // namespace

void deleteAllContent(const QString &audioDir, const QString &videoDir, const QString &inboxDir)
{
    emptyFolder(audioDir);
    emptyFolder(videoDir);
    emptyFolder(inboxDir);
}

} // namespace DataReset
