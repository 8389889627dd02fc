#include "core/Storage.h"

#include "decoding/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace Storage {

QString clearFileName(const QString &name, int limit, const QString &fallback)
{
    try {
        QString result = name.left(limit);
        static const char16_t forbidden[] = u"\\/:*?\"<>|";
        for (const char16_t c : std::u16string_view(forbidden))
            result.remove(QChar(c));
        result = Text::trimmed(result);
        return result.isEmpty() ? fallback : result;
    } catch (...) {
        return fallback;
    }
}

QString clearDownloadFileName(const QString &name)
{
    return clearFileName(name, downloadNameLimit, QCoreApplication::translate("Melodrop", "Неизвестно"));
}

QString clearPlaylistFileName(const QString &name)
{
    return clearFileName(name, playlistNameLimit, QCoreApplication::translate("Melodrop", "Без названия"));
}

bool ensureFolder(const QString &path)
{
    QFileInfo info(path);
    if (info.isDir())
        return true;
    return QDir().mkdir(path);
}

bool writeAtomically(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace Storage
