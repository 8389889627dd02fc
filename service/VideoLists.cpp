// Video lists: a user's or a community's videos from the silent list loader (an object literal in a script
// answer), and the recommended videos from an HTML section.
#include "core/GlobalData.h"
#include "decoding/Html.h"
#include "decoding/Json.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

#include <stdexcept>

namespace {

// Owner, number, picture, title, ..., play time (9), best quality (10).
constexpr std::size_t EntryFields = 11;

const QString RecommendationClass = QStringLiteral("video_row_cont");

struct UnreadableEntry : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

QString entryString(const Json::Value &value)
{
    if (!value.isString())
        throw UnreadableEntry("entry field is no text");
    return value.toString();
}

// Owner and video numbers come quoted or bare; a bare number is written as its digits.
QString entryNumber(const Json::Value &value)
{
    if (value.isString() || value.isNumber())
        return value.toString();
    throw UnreadableEntry("entry number is no text");
}

QString withoutQuotes(QString text)
{
    return text.remove(QLatin1Char('"'));
}

QString thumbnailOrPlaceholder(const QString &raw, const QString &domain)
{
    const QString address = Text::trimmed(raw);
    return address.isEmpty() ? VideoPage::placeholderThumbnail(domain) : address;
}

VideoRecord readEntry(const Json::Value &entry, const QString &domain)
{
    if (!entry.isArray() || entry.size() < EntryFields)
        throw UnreadableEntry("short entry");
    const std::vector<Json::Value> &fields = entry.items();
    VideoRecord record;
    // The loader writes a space as "+"; a plus sign of the title itself comes as a character reference.
    record.title = VKontakteWorks::cleanText(
        withoutQuotes(entryString(fields[3])).replace(QLatin1Char('+'), QLatin1Char(' ')));
    record.thumbnail = thumbnailOrPlaceholder(withoutQuotes(entryString(fields[2])), domain);
    record.key =
        Text::trimmed(withoutQuotes(entryNumber(fields[0]) + QLatin1Char('_') + entryNumber(fields[1])));
    record.quality = VideoPage::listQualityLabel(Text::trimmed(withoutQuotes(entryString(fields[10]))));
    record.tag = QString::number(GlobalData::sharedGlobalData()->nextFileTag());
    record.duration = Text::trimmed(withoutQuotes(entryString(fields[9])));
    return record;
}

VideoRecord readRecommendation(const HTMLNode &node, const QString &domain)
{
    using namespace VideoPage;
    const QString rowText = node.rawContents();
    QStringView row = rowText;
    VideoRecord record;

    row = skipPast(skipTo(row, u"<img src="), u"\"");
    record.thumbnail = thumbnailOrPlaceholder(upTo(row, u"\"").toString(), domain);

    row = skipPast(skipTo(row, u"onclick=\"return Video.show("), u"'");
    record.key = Text::trimmed(upTo(row, u"'").toString());

    row = skipPast(row, u"</a>");
    QString title = upTo(row, u"<").toString();
    title.remove(QStringLiteral("<span class=\"match\">"));
    title.remove(QStringLiteral("</span>"));
    record.title = VKontakteWorks::cleanText(title);

    row = skipPast(skipTo(row, u"\"video_duration\""), u">");
    record.duration = Text::trimmed(upTo(row, u"<").toString());

    record.tag = QString::number(GlobalData::sharedGlobalData()->nextFileTag());
    record.quality = VKontakteWorks::cleanText(QString()); // the localised "Неизвестно"
    return record;
}

// The page request (UTF-8), with "no answer at all" told apart: that loses the list with the error line,
// while an empty answer is an empty list.
std::optional<QByteArray> fetch(const QString &url)
{
    bool answered = false;
    QByteArray body = Http::servicePageUtf8(url, GlobalData::sharedGlobalData()->vksid(), &answered);
    if (!answered)
        return std::nullopt;
    return body;
}

} // namespace

namespace VideoPage {

std::optional<QList<VideoRecord>> readList(QString body, const QString &domain)
{
    if (body.isEmpty())
        return QList<VideoRecord>();
    try {
        // Cleaned and cut in the answer's own buffer.
        QString object = Text::removeControlCharacters(std::move(body));
        const qsizetype brace = object.indexOf(QLatin1Char('{'));
        if (brace < 0)
            return QList<VideoRecord>();
        // The loader writes its texts in single quotes; as JSON they need double ones. Whatever follows the
        // object is not read.
        object.remove(0, brace);
        object.replace(QLatin1Char('\''), QLatin1Char('"'));
        const std::optional<Json::Value> value = JSONValue(object);
        if (!value)
            return QList<VideoRecord>();
        const Json::Value *all = value->value(QStringLiteral("all"));
        if (all == nullptr)
            return QList<VideoRecord>();
        if (!all->isArray())
            throw UnreadableEntry("\"all\" is no list");

        QList<VideoRecord> records;
        records.reserve(qsizetype(all->size()));
        for (const Json::Value &entry : all->items())
            records.append(readEntry(entry, domain));
        return records;
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return std::nullopt;
    }
}

std::optional<QList<VideoRecord>> readRecommendations(const QString &body, const QString &domain)
{
    return readRecommendationsUtf8(Text::utf8WithoutControlCharacters(body), domain);
}

std::optional<QList<VideoRecord>> readRecommendationsUtf8(QByteArray body, const QString &domain)
{
    if (body.isEmpty())
        return QList<VideoRecord>();
    try {
        Text::removeControlBytes(body);
        // Every row is read; the parse frees the rest of the page as it goes.
        const HTMLParser parser(std::move(body), HTMLRowSelection{"class", RecommendationClass});
        QList<VideoRecord> records;
        records.reserve(parser.selectedRows().size());
        for (const HTMLNode &row : parser.selectedRows())
            records.append(readRecommendation(row, domain));
        return records;
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return std::nullopt;
    }
}

} // namespace VideoPage

ServiceAnswer<QList<VideoRecord>> VKontakteWorks::getVideoWithJSON(const QString &owner, int kind)
{
    return ServiceAnswer<QList<VideoRecord>>::of([&]() -> std::optional<QList<VideoRecord>> {
        const QString domain = GlobalData::sharedGlobalData()->domain;
        QString url = ServiceEndpoints::webAddress(
            domain, QStringLiteral("/al_video.php?act=load_videos_silent&al=1&oid="));
        if (kind == 1)
            url += QLatin1Char('-'); // a community's number as its owner number
        else if (kind != 0)
            return QList<VideoRecord>(); // no such list: nothing to ask for
        std::optional<QByteArray> body = fetch(url + owner);
        if (!body) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return std::nullopt;
        }
        QString text = QString::fromUtf8(*body);
        body.reset(); // the bytes go before the text is read
        return VideoPage::readList(std::move(text), domain);
    });
}

ServiceAnswer<QList<VideoRecord>> VKontakteWorks::getVideoRecommendations(const QString &owner)
{
    return ServiceAnswer<QList<VideoRecord>>::of([&]() -> std::optional<QList<VideoRecord>> {
        const QString domain = GlobalData::sharedGlobalData()->domain;
        std::optional<QByteArray> body = fetch(
            ServiceEndpoints::webAddress(
                domain, QStringLiteral("/al_video.php?act=load_section_recommendations&al=1&offset=0&oid=")) +
            owner);
        if (!body) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return std::nullopt;
        }
        return VideoPage::readRecommendationsUtf8(std::move(*body), domain);
    });
}
