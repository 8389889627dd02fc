#include "core/DataReset.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace DataReset {

int deletePlaylistsAndRequests(const QString &root)
{
    // A folder of such a name is a playlist only where playlists are kept; elsewhere (a "Hits.tune" folder in
    // the audio folder) it holds music, which this reset must not touch.
    const QString rootPath = QDir(root).absolutePath();
    const QString playlistsPath = QDir(rootPath).filePath(QStringLiteral("playlists"));
    auto mayHoldPlaylistFolder = [&](const QFileInfo &info) {
        const QString parent = info.absolutePath();
        return parent == rootPath || parent == playlistsPath;
    };
    // Collected first and deleted afterwards: the walk must not step into a folder it has just removed.
    QStringList matches;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString suffix = info.suffix(); // text after the last dot, case kept
        if (suffix != QLatin1String("tune") && suffix != QLatin1String("tuneplaylist"))
            continue;
        if (info.isDir() && !info.isSymLink() && !mayHoldPlaylistFolder(info))
            continue;
        matches.append(path);
    }
    // A folder before anything inside it, so that what it holds goes with it and is not counted on its own.
    std::sort(matches.begin(), matches.end(),
              [](const QString &a, const QString &b) { return a.size() < b.size(); });
    int deleted = 0;
    for (const QString &path : std::as_const(matches)) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue; // inside a folder removed before it
        // A folder goes with everything in it; a link goes as a link, never what it points to.
        const bool removed =
            info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
        if (removed)
            ++deleted;
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
