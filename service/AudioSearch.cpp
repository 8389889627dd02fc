// Audio search: the service's background search page, cut apart row by row.
#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "decoding/Html.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/AudioSearchPage.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>

namespace {

// The service never sends more than one page of hits; anything beyond is not ours to show.
constexpr qsizetype MaxRowsPerPage = 100;

const QString RowClass = QStringLiteral("audios_row clear_fix");
const QString TitleClass = QStringLiteral("audio_title_wrap");
const QString ActionsClass = QStringLiteral("actions");

// The service's highlighting of the matched words; removed before anything is cut.
const QString MatchOpen = QStringLiteral("<span class=\"match\">");
const QString SpanClose = QStringLiteral("</span>");

QString serialisedFirst(const HTMLParser &fragment, const QString &className)
{
    return fragment.doc().findChildWithAttribute("class", className, true).rawContents();
}

AudioRecord readRow(const HTMLNode &rowNode)
{
    using namespace AudioPage;
    QString rowText = rowNode.rawContents();
    rowText.remove(MatchOpen);
    rowText.remove(SpanClose);

    QStringView row = after(rowText, u"value=\"");
    AudioRecord record;
    record.url = upTo(row, u",").toString();
    row = after(row, u",");
    record.duration = StorageLayout::secondsToTime(upTo(row, u"\"").toString());
    const QString rest = row.toString();

    // The title and the actions elements both come from the rest of the row. Parsing that text a second time
    // for the actions would build the very same tree, so one parse serves both and halves the cost per row.
    const HTMLParser fragment(rest);
    const QString titleText = serialisedFirst(fragment, TitleClass);
    QStringView title = after(titleText, u"a href=\"");
    title = after(title, u">");
    record.artist = VKontakteWorks::cleanText(upTo(title, u"<").toString());

    title = after(title, u"\"title");
    title = after(title, u">");
    QStringView rawTitle;
    if (rest.contains(u".showLyrics(")) {
        // The title is a link that opens the lyrics: its text is the title.
        QStringView lyrics = after(rest, u"showLyrics");
        lyrics = after(lyrics, u">");
        rawTitle = upTo(lyrics, u"<");
    } else {
        rawTitle = upTo(title, u"<");
    }
    record.title = VKontakteWorks::cleanText(rawTitle.toString());

    const QString actionsText = serialisedFirst(fragment, ActionsClass);
    QStringView actions = after(actionsText, u"aid:");
    record.aid = upTo(actions, u",").toString();
    actions = after(actions, u"oid:");
    record.oid = upTo(actions, u",").toString();

    record.tag = QString::number(GlobalData::sharedGlobalData()->nextFileTag());
    return record;
}

} // namespace

namespace AudioPage {

QStringView after(QStringView text, QStringView marker)
{
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        throw MissingMarker(marker.toString());
    return text.mid(at + marker.size());
}

QStringView upTo(QStringView text, QStringView marker)
{
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        throw MissingMarker(marker.toString());
    return text.left(at);
}

QStringView from(QStringView text, QStringView marker)
{
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        throw MissingMarker(marker.toString());
    return text.mid(at);
}

void keepOnly(QString &text, QStringView part)
{
    const qsizetype start = part.data() - text.constData();
    text.truncate(start + part.size());
    text.remove(0, start);
}

} // namespace AudioPage

std::optional<QList<AudioRecord>> parseAudioSearchPage(const QString &body)
{
    // Control characters go before the text becomes UTF-8, exactly as the text would have them removed.
    return parseAudioSearchPageUtf8(Text::removeControlCharacters(body).toUtf8());
}

std::optional<QList<AudioRecord>> parseAudioSearchPageUtf8(QByteArray body)
{
    if (body.isEmpty())
        return QList<AudioRecord>();
    try {
        // The same set as StorageLayout::controlCharacters(), removed in place.
        Text::removeControlBytes(body);
        // Only the first hundred rows are read, so the parse keeps no more of the page than they need.
        const HTMLParser parser(std::move(body), HTMLRowSelection{"class", RowClass, MaxRowsPerPage});
        QList<AudioRecord> records;
        records.reserve(parser.selectedRows().size());
        for (const HTMLNode &row : parser.selectedRows())
            records.append(readRow(row));
        return records;
    } catch (...) {
        // One bad row loses the whole page; the tags its earlier rows took stay used.
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return std::nullopt;
    }
}

QString VKontakteWorks::cleanText(const QString &raw)
{
    const QString text = Text::trimmed(Text::decodeHtmlEntities(raw));
    if (text.isEmpty())
        return QCoreApplication::translate("Melodrop", "Неизвестно");
    return text;
}

ServiceAnswer<QList<AudioRecord>> VKontakteWorks::searchAudioWithOffset(const QString &text, int offset,
                                                                        int sort)
{
    return ServiceAnswer<QList<AudioRecord>>::of([&]() -> std::optional<QList<AudioRecord>> {
        QByteArray body;
        try {
            const GlobalData *global = GlobalData::sharedGlobalData();
            // Concatenated, not QString::arg: the escaped text is full of "%xx" that arg would take for
            // placeholders.
            const QString url =
                ServiceEndpoints::webAddress(global->domain,
                                             QStringLiteral("/al_search.php?al=1&c[section]=audio&c[q]=")) +
                Text::escapeQuery(text) + QStringLiteral("&offset=") + QString::number(offset) +
                QStringLiteral("&c[sort]=") + QString::number(sort);
            body = Http::servicePageUtf8(url, global->vksid());
        } catch (...) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return std::nullopt;
        }
        return parseAudioSearchPageUtf8(std::move(body));
    });
}
