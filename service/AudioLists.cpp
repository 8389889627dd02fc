// Audio lists: a user's, a community's and the recommended audio, read from the object the service's page
// script would evaluate.
#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "decoding/Json.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/AudioListPage.h"
#include "service/AudioSearchPage.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <stdexcept>

namespace {

// An entry carries at least owner, audio, address, (unused), play time, performer, title.
constexpr std::size_t EntryFields = 7;

struct UnreadableEntry : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

QString listUrl(const QString &host, const QString &owner, int kind)
{
    switch (kind) {
    case 0:
        return ServiceEndpoints::webAddress(
                   host, QStringLiteral("/audio?act=load_audios_silent&al=1&edit=0&gid=0&id=")) +
               owner;
    case 1:
        return ServiceEndpoints::webAddress(
                   host, QStringLiteral("/audio?act=load_audios_silent&al=1&edit=0&id=0&gid=")) +
               owner;
    case 2:
        return ServiceEndpoints::webAddress(
                   host, QStringLiteral("/audio?act=get_recommendations&al=1&offset=0&id=")) +
               owner;
    default:
        return QString();
    }
}

// Numbers and the address stay the service's texts; a number written without quotes is kept as its digits.
QString entryText(const Json::Value &value)
{
    if (value.isString() || value.isNumber())
        return value.toString();
    throw UnreadableEntry("entry field is no text");
}

QString entryDisplayText(const Json::Value &value)
{
    if (!value.isString())
        throw UnreadableEntry("title or performer is no text");
    return VKontakteWorks::cleanText(value.toString());
}

} // namespace

ServiceAnswer<QList<AudioRecord>> VKontakteWorks::getAudioWithJSON(const QString &owner, int kind)
{
    return ServiceAnswer<QList<AudioRecord>>::of([&]() -> std::optional<QList<AudioRecord>> {
        QString body;
        try {
            const GlobalData *global = GlobalData::sharedGlobalData();
            const QString url = listUrl(global->domain, owner, kind);
            if (url.isEmpty())
                return QList<AudioRecord>(); // no such list: nothing to ask for
            body = Http::servicePage(url, global->vksid());
        } catch (...) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return std::nullopt;
        }
        return parseAudioListPage(std::move(body), kind);
    });
}

std::optional<QList<AudioRecord>> parseAudioListPage(QString body, int kind)
{
    try {
        if (body.isEmpty())
            return QList<AudioRecord>();
        // The same set as StorageLayout::controlCharacters(); the answer is cleaned and cut in its own
        // buffer.
        QString object = Text::removeControlCharacters(std::move(body));

        // The recommendations answer carries other objects before the list; only this marker finds it.
        if (kind == 2) {
            const qsizetype marker = object.indexOf(u"<!>{\"all\":");
            if (marker < 0)
                return QList<AudioRecord>();
            object.remove(0, marker);
        }
        AudioPage::keepOnly(object, AudioPage::upTo(AudioPage::from(object, u"{"), u"<!>"));
        // The object's texts are single-quoted script strings; as JSON they need double quotes.
        object.replace(QLatin1Char('\''), QLatin1Char('"'));
        if (object == QLatin1String("{}"))
            return QList<AudioRecord>();

        const std::optional<Json::Value> value = JSONValue(object);
        if (!value)
            return QList<AudioRecord>();
        if (!value->isObject())
            throw UnreadableEntry("the list is no map");
        const Json::Value *all = value->value(QStringLiteral("all"));
        if (all == nullptr)
            return QList<AudioRecord>();
        if (!all->isArray())
            throw UnreadableEntry("\"all\" is no list");

        QList<AudioRecord> records;
        records.reserve(qsizetype(all->size()));
        GlobalData *shared = GlobalData::sharedGlobalData();
        for (const Json::Value &entry : all->items()) {
            if (!entry.isArray() || entry.size() < EntryFields)
                throw UnreadableEntry("short entry");
            const std::vector<Json::Value> &fields = entry.items();
            AudioRecord record;
            record.duration = entryText(fields[4]);
            record.url = entryText(fields[2]);
            record.title = entryDisplayText(fields[6]);
            record.artist = entryDisplayText(fields[5]);
            record.aid = entryText(fields[1]);
            record.oid = entryText(fields[0]);
            record.tag = QString::number(shared->nextFileTag());
            records.append(record);
        }
        return records;
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return std::nullopt;
    }
}
