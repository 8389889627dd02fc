#include "library/PlaylistExchange.h"

#include "core/Storage.h"
#include "decoding/Text.h"
#include "library/LibraryScan.h"
#include "library/PlaylistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <utility>

namespace PlaylistExchange {

namespace {

// A title goes on one line of an M3U and into XML text: line breaks and other control characters would end
// the line (and start a bogus entry) or make the XML unreadable.
QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.isSurrogate())
            c = QLatin1Char(' ');
    }
    return line.simplified();
}

QString titleOf(const Track &track)
{
    const QString title = track.title.isEmpty() ? QFileInfo(track.path).completeBaseName() : track.title;
    if (track.artist.isEmpty())
        return oneLine(title);
    return oneLine(track.artist + QStringLiteral(" - ") + title);
}

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; });
}

// A relative URI reference of a relative path: each segment percent-encoded, "/" kept.
QString relativeUri(const QString &relative)
{
    const QStringList segments = relative.split(QLatin1Char('/'));
    QStringList encoded;
    encoded.reserve(segments.size());
    for (const QString &segment : segments)
        encoded << QString::fromLatin1(QUrl::toPercentEncoding(segment));
    return encoded.join(QLatin1Char('/'));
}

QString decodeText(QByteArray data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    // Lists from older Windows players are in the local code page; for Russian names that is 1251.
    return Text::decodeWindows1251(data);
}

QStringList lines(const QByteArray &data)
{
    return decodeText(data).split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
}

QStringList parseM3u(const QByteArray &data)
{
    QStringList entries;
    for (const QString &line : lines(data)) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith(QLatin1Char('#')))
            entries << entry;
    }
    return entries;
}

QStringList parsePls(const QByteArray &data)
{
    // "FileN=…" in the order of N; the lines may come in any order.
    QList<std::pair<qint64, QString>> numbered;
    for (const QString &line : lines(data)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!key.startsWith(QLatin1String("file"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const qint64 number = key.mid(4).toLongLong(&ok);
        if (!ok)
            continue;
        const QString value = line.mid(equals + 1).trimmed();
        if (!value.isEmpty())
            numbered.append({number, value});
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList entries;
    entries.reserve(numbered.size());
    for (const auto &item : std::as_const(numbered))
        entries << item.second;
    return entries;
}

QStringList parseXspf(const QByteArray &data)
{
    // The first <location> of each <track>; a list cut short keeps the tracks read before the cut.
    QStringList entries;
    QXmlStreamReader xml(data);
    int trackDepth = -1;
    int depth = 0;
    bool located = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (xml.name() == QLatin1String("track") && trackDepth < 0) {
                trackDepth = depth;
                located = false;
            } else if (xml.name() == QLatin1String("location") && depth == trackDepth + 1 && !located) {
                const QString location = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                --depth; // readElementText consumed the end element
                if (xml.hasError())
                    break;
                located = true;
                if (!location.isEmpty())
                    entries << location;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == trackDepth)
                trackDepth = -1;
            --depth;
        }
    }
    return entries;
}

const QRegularExpression &schemePattern()
{
    // Two letters at least: "C:\Music\…" is a Windows drive, not a scheme.
    static const QRegularExpression pattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    return pattern;
}

} // namespace

Format formatOf(const QString &path)
{
    const QString extension = LibraryScan::pathExtension(QFileInfo(path).fileName()).toLower();
    if (extension == QLatin1String("m3u") || extension == QLatin1String("m3u8"))
        return Format::M3u;
    if (extension == QLatin1String("pls"))
        return Format::Pls;
    if (extension == QLatin1String("xspf"))
        return Format::Xspf;
    return Format::Unknown;
}

QByteArray m3u(const QList<Track> &tracks, const QString &listFolder)
{
    const QDir folder(listFolder);
    QByteArray out("#EXTM3U\n");
    for (const Track &track : tracks) {
        QString location = folder.relativeFilePath(track.path);
        // A line break cannot stand in an M3U path; a file URI escapes it (and is absolute by nature).
        if (hasControlCharacter(location))
            location = QUrl::fromLocalFile(track.path).toString(QUrl::FullyEncoded);
        else if (location.startsWith(QLatin1Char('#')))
            location.prepend(QStringLiteral("./")); // not a comment
        out += "#EXTINF:" + QByteArray::number(track.seconds < 0 ? -1 : track.seconds) + ',' +
               titleOf(track).toUtf8() + '\n' + location.toUtf8() + '\n';
    }
    return out;
}

QByteArray xspf(const QList<Track> &tracks, const QString &listFolder)
{
    const QDir folder(listFolder);
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("playlist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("xmlns"), QStringLiteral("http://xspf.org/ns/0/"));
    xml.writeStartElement(QStringLiteral("trackList"));
    for (const Track &track : tracks) {
        xml.writeStartElement(QStringLiteral("track"));
        xml.writeTextElement(QStringLiteral("location"), relativeUri(folder.relativeFilePath(track.path)));
        const QString title =
            oneLine(track.title.isEmpty() ? QFileInfo(track.path).completeBaseName() : track.title);
        xml.writeTextElement(QStringLiteral("title"), title);
        if (!track.artist.isEmpty())
            xml.writeTextElement(QStringLiteral("creator"), oneLine(track.artist));
        if (track.seconds >= 0)
            xml.writeTextElement(QStringLiteral("duration"), QString::number(qint64(track.seconds) * 1000));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

bool write(const QString &path, const QList<Track> &tracks)
{
    const QString folder = QFileInfo(path).absolutePath();
    return Storage::writeAtomically(path, formatOf(path) == Format::Xspf ? xspf(tracks, folder)
                                                                         : m3u(tracks, folder));
}

QStringList parse(const QByteArray &data, Format format)
{
    switch (format) {
    case Format::M3u:
        return parseM3u(data);
    case Format::Pls:
        return parsePls(data);
    case Format::Xspf:
        return parseXspf(data);
    case Format::Unknown:
        break;
    }
    return {};
}

QString localPath(const QString &entry, const QString &listFolder, bool uriOnly)
{
    const QString text = entry.trimmed();
    if (text.isEmpty() || text.contains(QChar(0)))
        return {};
    QString path;
    const QRegularExpressionMatch scheme = schemePattern().match(text);
    if (scheme.hasMatch()) {
        if (scheme.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return {}; // a stream or a web page: nothing of the library
        const QUrl url(text);
        const QString host = url.host();
        if (!url.isValid() || !(host.isEmpty() || host == QLatin1String("localhost")))
            return {};
        path = url.path(QUrl::FullyDecoded);
    } else if (uriOnly) {
        const QUrl url(text);
        if (!url.isValid())
            return {};
        path = url.path(QUrl::FullyDecoded);
    } else {
        path = text;
    }
    if (path.isEmpty() || path.contains(QChar(0)))
        return {};
    // Not QDir::isRelativePath: it takes ":name" for a Qt resource, which a list must not reach.
    if (!path.startsWith(QLatin1Char('/')))
        path = listFolder + QLatin1Char('/') + path;
    return QDir::cleanPath(path);
}

Mapped map(const QStringList &items, const QString &listFolder, const QString &audioDir, bool uriOnly)
{
    Mapped mapped;
    const QString library = QFileInfo(audioDir).canonicalFilePath();
    for (const QString &item : items) {
        QString relative;
        const QString path = localPath(item, listFolder, uriOnly);
        if (!library.isEmpty() && !path.isEmpty()) {
            QStringList candidates{path};
            // Lists written on Windows separate folders with backslashes.
            if (path.contains(QLatin1Char('\\')))
                candidates << localPath(QString(item).replace(QLatin1Char('\\'), QLatin1Char('/')),
                                        listFolder, uriOnly);
            for (const QString &candidate : std::as_const(candidates)) {
                // The real path decides: ".." and links that lead out of the library find nothing.
                const QFileInfo info(candidate);
                const QString real = info.canonicalFilePath();
                if (real.isEmpty() || !info.isFile() || !real.startsWith(library + QLatin1Char('/')))
                    continue;
                if (LibraryScan::pathExtension(info.fileName()).toLower() != QLatin1String("mp3"))
                    continue; // the library plays MP3 files only
                relative = real.mid(library.size() + 1);
                break;
            }
        }
        if (relative.isEmpty())
            ++mapped.missing;
        else
            mapped.entries.append({relative, false});
    }
    return mapped;
}

Imported importList(const QString &listPath, const QString &audioDir, const QString &playlistsDir)
{
    Imported result;
    const QFileInfo info(listPath);
    const Format format = formatOf(listPath);
    if (format == Format::Unknown) {
        result.error = QStringLiteral("not a playlist format");
        return result;
    }
    if (!info.isFile()) {
        result.error = QStringLiteral("not a file");
        return result;
    }
    if (info.size() > maxListSize) {
        result.error = QStringLiteral("larger than %1 bytes").arg(maxListSize);
        return result;
    }
    QFile file(listPath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    // The size is checked again on the bytes: the file may have grown since.
    const QByteArray data = file.read(maxListSize + 1);
    if (data.size() > maxListSize) {
        result.error = QStringLiteral("larger than %1 bytes").arg(maxListSize);
        return result;
    }
    const Mapped mapped = map(parse(data, format), info.absolutePath(), audioDir, format == Format::Xspf);
    result.found = int(mapped.entries.size());
    result.missing = mapped.missing;
    result.outcome = Imported::Done;
    if (mapped.entries.isEmpty())
        return result;

    result.outcome = Imported::NotWritten;
    if (!Storage::ensureFolder(playlistsDir)) {
        result.error = QStringLiteral("the playlists folder could not be made");
        return result;
    }
    const QString base = Storage::clearPlaylistFileName(info.completeBaseName());
    QString name = base;
    for (int n = 2;
         QFileInfo::exists(playlistsDir + QLatin1Char('/') + name + QStringLiteral(".tuneplaylist")); ++n)
        name = base + QStringLiteral(" (%1)").arg(n);
    const QString target = playlistsDir + QLatin1Char('/') + name + QStringLiteral(".tuneplaylist");
    const PropertyList::WriteResult written = PlaylistFile::write(target, mapped.entries);
    if (written != PropertyList::WriteResult::Written) {
        result.error = written == PropertyList::WriteResult::TooLarge
                           ? QStringLiteral("too large to save")
                           : QStringLiteral("could not be written");
        return result;
    }
    result.outcome = Imported::Done;
    result.savedPath = target;
    result.name = name;
    return result;
}

} // namespace PlaylistExchange
