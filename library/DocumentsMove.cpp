#include "library/DocumentsMove.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

QString cleaned(const QString &path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool isInside(const QString &path, const QString &folder)
{
    return path == folder ||
           path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// The folder that would hold `path` once made: `path` itself when it exists, else its nearest existing
// parent.
QFileInfo nearestExisting(const QString &path)
{
    QFileInfo info(path);
    while (!info.exists() && info.absoluteFilePath() != QLatin1String("/"))
        info = QFileInfo(info.absolutePath());
    return info;
}

const QLatin1String partSuffix(".melodrop-move");

} // namespace

QString DocumentsMove::refusal(const QString &from, const QString &to)
{
    if (to.trimmed().isEmpty())
        return QCoreApplication::translate("DocumentsMove", "Папка не выбрана.");
    const QString source = cleaned(from);
    const QString target = cleaned(to);
    if (source == target)
        return QCoreApplication::translate("DocumentsMove", "Это и есть текущая папка документов.");
    if (isInside(target, source))
        return QCoreApplication::translate("DocumentsMove",
                                           "Новая папка не может лежать внутри текущей папки документов.");
    const QFileInfo existing = nearestExisting(target);
    if (!existing.isDir())
        return QCoreApplication::translate("DocumentsMove", "«%1» — не папка.")
            .arg(existing.absoluteFilePath());
    if (!existing.isWritable())
        return QCoreApplication::translate("DocumentsMove", "В папку «%1» нельзя записывать.")
            .arg(existing.absoluteFilePath());
    return {};
}

DocumentsMove::Result DocumentsMove::move(const QString &from, const QString &to,
                                          const std::function<void(int, int)> &progress)
{
    Result result;
    result.error = refusal(from, to);
    if (!result.error.isEmpty())
        return result;
    const QDir source(cleaned(from));
    const QString target = cleaned(to);

    QStringList folders;
    QStringList files;
    QDirIterator walk(source.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QFileInfo info(walk.next());
        const QString relative = source.relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink())
            folders << relative;
        else
            files << relative;
    }

    // Copies first; the originals stay until every copy is in place.
    QStringList copied;
    const auto takeBack = [&] {
        for (const QString &relative : std::as_const(copied))
            QFile::remove(target + QLatin1Char('/') + relative);
    };
    if (!QDir().mkpath(target)) {
        result.error =
            QCoreApplication::translate("DocumentsMove", "Не удалось создать папку «%1».").arg(target);
        return result;
    }
    for (const QString &relative : std::as_const(folders)) {
        if (!QDir().mkpath(target + QLatin1Char('/') + relative)) {
            result.error = QCoreApplication::translate("DocumentsMove", "Не удалось создать папку «%1».")
                               .arg(target + QLatin1Char('/') + relative);
            return result;
        }
    }
    const int total = int(files.size());
    for (int i = 0; i < total; ++i) {
        const QString &relative = files.at(i);
        const QString destination = target + QLatin1Char('/') + relative;
        if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink()) {
            takeBack();
            result.error = QCoreApplication::translate("DocumentsMove", "В новой папке уже есть файл «%1».")
                               .arg(relative);
            return result;
        }
        const QString part = destination + partSuffix;
        QFile::remove(part);
        if (!QFile::copy(source.filePath(relative), part) || !QFile::rename(part, destination)) {
            QFile::remove(part);
            takeBack();
            result.error =
                QCoreApplication::translate("DocumentsMove", "Не удалось скопировать «%1».").arg(relative);
            return result;
        }
        copied << relative;
        if (progress)
            progress(i + 1, total);
    }

    for (const QString &relative : std::as_const(files))
        QFile::remove(source.filePath(relative));
    // The emptied folders go, deepest first; one that still holds something (a file that could not be
    // removed) stays.
    for (auto it = folders.crbegin(); it != folders.crend(); ++it)
        source.rmdir(*it);
    QDir().rmdir(source.path());
    result.ok = true;
    result.files = total;
    return result;
}
