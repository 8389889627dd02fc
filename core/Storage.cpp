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
        // Half a pair is no character: it would turn into a replacement mark in the file name.
        if (result.size() == limit && limit > 0 && result.back().isHighSurrogate())
            result.chop(1);
        static const char16_t forbidden[] = u"\\/:*?\"<>|";
        for (const char16_t c : std::u16string_view(forbidden))
            result.remove(QChar(c));
        // Control characters and line separators too: a name printed in a listing or on a terminal must
        // stay one line and must not steer the terminal.
        result.removeIf([](QChar c) {
            return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator;
        });
        result = Text::trimmed(result);
        return result.isEmpty() ? fallback : result;
    } catch (...) {
        return fallback;
    }
}

QString cutToUtf8Bytes(const QString &name, int maxBytes)
{
    int bytes = 0;
    qsizetype end = 0;
    while (end < name.size()) {
        const char32_t code =
            name.at(end).isHighSurrogate() && end + 1 < name.size() && name.at(end + 1).isLowSurrogate()
                ? QChar::surrogateToUcs4(name.at(end), name.at(end + 1))
                : char32_t(name.at(end).unicode());
        const int units = code > 0xFFFF ? 2 : 1;
        const int length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + length > maxBytes)
            break;
        bytes += length;
        end += units;
    }
    if (end == name.size())
        return name;
    QString result = name.left(end);
    while (!result.isEmpty() && Text::trimmed(result.right(1)).isEmpty())
        result.chop(1);
    return result;
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
