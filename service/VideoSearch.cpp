// Video search: the service's background search page. The page is parsed once; every row is then read by
// plain text search in its serialised HTML.
#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "decoding/Html.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/AudioSearchPage.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

namespace {

constexpr qsizetype MaxRowsPerPage = 40;

const QString RowClass = QStringLiteral("videos_row clear_fix");
const QString MatchOpen = QStringLiteral("<span class=\"match\">");
const QString SpanClose = QStringLiteral("</span>");

QString withoutHighlighting(QString text)
{
    text.remove(MatchOpen);
    text.remove(SpanClose);
    return text;
}

// The row steps run on the row's serialised bytes (UTF-8): every marker is ASCII, and no other character's
// UTF-8 form holds an ASCII byte, so each cut lands where it would in the decoded text. Only the cut fields
// are decoded.
namespace RowBytes {

qsizetype find(QByteArrayView text, QByteArrayView marker)
{
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        throw AudioPage::MissingMarker(QString::fromLatin1(marker));
    return at;
}
// Everything from the marker's second character on.
QByteArrayView skipTo(QByteArrayView text, QByteArrayView marker)
{
    return text.sliced(find(text, marker) + 1);
}
QByteArrayView skipPast(QByteArrayView text, QByteArrayView marker)
{
    return text.sliced(find(text, marker) + marker.size());
}
QString upTo(QByteArrayView text, QByteArrayView marker)
{
    return QString::fromUtf8(text.first(find(text, marker)));
}

QByteArray withoutHighlighting(QByteArray bytes)
{
    bytes.replace(QByteArrayView("<span class=\"match\">"), QByteArrayView());
    bytes.replace(QByteArrayView("</span>"), QByteArrayView());
    return bytes;
}

} // namespace RowBytes

VideoRecord readRow(const QByteArray &serialised, const QString &quality, const QString &domain)
{
    const QByteArray rowText = RowBytes::withoutHighlighting(serialised);
    QByteArrayView row = rowText;
    VideoRecord record;

    row = RowBytes::skipPast(RowBytes::skipTo(row, "<img src="), "\"");
    record.thumbnail = Text::trimmed(RowBytes::upTo(row, "\""));
    if (record.thumbnail.isEmpty())
        record.thumbnail = VideoPage::placeholderThumbnail(domain);

    row = RowBytes::skipPast(RowBytes::skipTo(row, "\"duration\""), ">");
    record.duration = Text::trimmed(RowBytes::upTo(row, "<"));

    row = RowBytes::skipPast(RowBytes::skipTo(row, "onclick=\"return showVideo("), "'");
    record.key = Text::trimmed(RowBytes::upTo(row, "'"));

    row = RowBytes::skipPast(row, ">");
    record.title = VKontakteWorks::cleanText(withoutHighlighting(RowBytes::upTo(row, "</a>")));
    record.quality = quality;
    record.tag = QString::number(GlobalData::sharedGlobalData()->nextFileTag());
    return record;
}

QString searchUrl(const QString &domain, const QString &text, int offset, int quality, int sort)
{
    // The quality keys sit on both sides of the query text, where the service's own page puts them.
    QString before;
    QString after;
    switch (quality) {
    case 0:
        before = QStringLiteral("c[hd]=0&");
        break;
    case 1:
        before = QStringLiteral("c[hd]=1&");
        break;
    case 2:
        before = QStringLiteral("c[hd]=1&");
        after = QStringLiteral("c[quality]=1&");
        break;
    case 3:
        before = QStringLiteral("c[hd]=1&");
        after = QStringLiteral("c[quality]=2&");
        break;
    default:
        break;
    }
    // Concatenated, not QString::arg: the escaped text is full of "%xx" that arg would take for placeholders.
    return ServiceEndpoints::webAddress(domain, QStringLiteral("/al_search.php?al=1&")) + before +
           QStringLiteral("c[q]=") + Text::escapeQuery(text) + QLatin1Char('&') + after +
           QStringLiteral("c[section]=video&c[iphone]=1&offset=") + QString::number(offset) +
           QStringLiteral("&c[sort]=") + QString::number(sort);
}

} // namespace

namespace VideoPage {

QStringView skipTo(QStringView text, QStringView marker)
{
    return AudioPage::from(text, marker).mid(1);
}

QStringView skipPast(QStringView text, QStringView marker)
{
    return AudioPage::after(text, marker);
}

QStringView upTo(QStringView text, QStringView marker)
{
    return AudioPage::upTo(text, marker);
}

QString searchQualityLabel(int quality)
{
    switch (quality) {
    case 0:
        return QStringLiteral("240+");
    case 1:
        return QStringLiteral("360+");
    case 2:
        return QStringLiteral("480+");
    case 3:
        return QStringLiteral("720");
    default:
        return QString();
    }
}

QString listQualityLabel(const QString &code)
{
    if (code == QLatin1String("0"))
        return QStringLiteral("240");
    if (code == QLatin1String("1"))
        return QStringLiteral("360");
    if (code == QLatin1String("2"))
        return QStringLiteral("480");
    if (code == QLatin1String("3"))
        return QStringLiteral("720");
    return code;
}

QString placeholderThumbnail(const QString &domain)
{
    // Written into the record as the service's pages name it; pictures are fetched without the session.
    return QStringLiteral("http://") + domain + QStringLiteral("/images/video_s.png");
}

std::optional<QList<VideoRecord>> readSearchPage(const QString &body, int quality, const QString &domain)
{
    return readSearchPageUtf8(Text::utf8WithoutControlCharacters(body), quality, domain);
}

std::optional<QList<VideoRecord>> readSearchPageUtf8(QByteArray body, int quality, const QString &domain)
{
    if (body.isEmpty())
        return QList<VideoRecord>();
    try {
        Text::removeControlBytes(body);
        // Only the first forty rows are read, so the parse keeps no more of the page than they need.
        const HTMLParser parser(std::move(body), HTMLRowSelection{"class", RowClass, MaxRowsPerPage});
        const QList<QByteArray> rowTexts = HTMLNode::rawContentsUtf8(parser.selectedRows());
        const QString label = searchQualityLabel(quality);
        QList<VideoRecord> records;
        records.reserve(rowTexts.size());
        for (const QByteArray &rowText : rowTexts)
            records.append(readRow(rowText, label, domain));
        return records;
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return std::nullopt;
    }
}

} // namespace VideoPage

ServiceAnswer<QList<VideoRecord>> VKontakteWorks::searchVideoWithOffset(const QString &text, int offset,
                                                                        int quality, int sort)
{
    return ServiceAnswer<QList<VideoRecord>>::of([&]() -> std::optional<QList<VideoRecord>> {
        const GlobalData *global = GlobalData::sharedGlobalData();
        const QString domain = global->domain;
        bool answered = false;
        QByteArray body =
            Http::servicePageUtf8(searchUrl(domain, text, offset, quality, sort), global->vksid(), &answered);
        // Keeps the overlay's text readable between pages.
        Pacing::pause(1);
        if (!answered) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return std::nullopt;
        }
        return VideoPage::readSearchPageUtf8(std::move(body), quality, domain);
    });
}
