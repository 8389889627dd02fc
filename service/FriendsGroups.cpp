// Friends and communities of the signed-in user, read from the service's background pages.
#include "core/GlobalData.h"
#include "decoding/Json.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/AudioSearchPage.h"
#include "service/FriendsPages.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <algorithm>
#include <stdexcept>

namespace {

// An entry names at least five things; the ones read are among them.
constexpr std::size_t EntryFields = 5;

struct UnreadableEntry : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Numbers and addresses as the service sent them (a number without quotes keeps its digits).
QString entryText(const Json::Value &value)
{
    if (value.isString() || value.isNumber())
        return value.toString();
    throw UnreadableEntry("entry field is no text");
}

// Cuts the text at the comma before `"<key>"` and closes the object again: the request lists that follow
// "all" are not wanted. The text is the user's friends list: it is never written to the log.
void dropFrom(QString &text, QStringView quotedKey)
{
    const qsizetype at = text.indexOf(quotedKey);
    if (at < 0)
        return;
    if (at < 1)
        throw AudioPage::MissingMarker(quotedKey.toString());
    text.truncate(at - 1);
    text += QLatin1Char('}');
}

// Reads "all" of the parsed text: a list of entries, each giving name, number and picture at the positions
// given. A text that does not parse gives no entries.
QStringList recordsOf(const QString &json, std::size_t namePos, std::size_t numberPos, std::size_t picturePos)
{
    QStringList records;
    const std::optional<Json::Value> value = JSONValue(json);
    if (!value)
        return records;
    if (!value->isObject())
        throw UnreadableEntry("the answer is no map");
    const Json::Value *all = value->value(QStringLiteral("all"));
    if (all == nullptr)
        return records;
    if (!all->isArray())
        throw UnreadableEntry("\"all\" is no list");
    records.reserve(qsizetype(all->size()));
    for (const Json::Value &entry : all->items()) {
        if (!entry.isArray() || entry.size() < EntryFields)
            throw UnreadableEntry("short entry");
        const std::vector<Json::Value> &fields = entry.items();
        if (!fields[namePos].isString() && !fields[namePos].isNumber())
            throw UnreadableEntry("name is no text");
        const QString name = VKontakteWorks::cleanText(fields[namePos].toString());
        records.append(name + QLatin1Char('\n') + entryText(fields[numberPos]) + QLatin1Char('\n') +
                       entryText(fields[picturePos]));
    }
    // By character code: capitals before small letters, Latin before Cyrillic.
    std::sort(records.begin(), records.end());
    return records;
}

std::optional<QStringList> failed()
{
    Log::line(QString::fromUtf8(Session::errorLogLine));
    return std::nullopt;
}

} // namespace

namespace FriendsPages {

std::optional<QStringList> readFriends(QString body)
{
    if (body.isEmpty())
        return QStringList();
    try {
        // Cleaned and cut in the answer's own buffer.
        QString text = Text::removeControlCharacters(std::move(body));
        AudioPage::keepOnly(text, AudioPage::upTo(AudioPage::from(text, u"{"), u"<!>"));
        dropFrom(text, u"\"all_requests\"");
        dropFrom(text, u"\"requests\"");
        // The object's texts are single-quoted script strings; as JSON they need double quotes.
        text.replace(QLatin1Char('\''), QLatin1Char('"'));
        if (text == QLatin1String("{}"))
            return QStringList();
        return recordsOf(text, 4, 0, 1);
    } catch (...) {
        return failed();
    }
}

std::optional<QStringList> readGroups(QString body)
{
    if (body.isEmpty())
        return QStringList();
    try {
        QString list = Text::removeControlCharacters(std::move(body));
        AudioPage::keepOnly(list, AudioPage::after(list, u"<!json>"));
        // The list is JSON already (double quotes); it becomes the value of "all".
        list.prepend(QStringLiteral("{\"all\":"));
        list.append(QLatin1Char('}'));
        return recordsOf(list, 0, 2, 4);
    } catch (...) {
        return failed();
    }
}

} // namespace FriendsPages

namespace {

// The signed-in user's page at `path` (the user number follows it), read by `read`.
ServiceAnswer<QStringList> loadOwnPage(const QString &path, std::optional<QStringList> (*read)(QString))
{
    return ServiceAnswer<QStringList>::of([&]() -> std::optional<QStringList> {
        QString body;
        try {
            const GlobalData *global = GlobalData::sharedGlobalData();
            body = Http::servicePage(ServiceEndpoints::webAddress(global->domain, path) + global->vkuid(),
                                     global->vksid());
        } catch (...) {
            return failed();
        }
        return read(std::move(body));
    });
}

} // namespace

ServiceAnswer<QStringList> VKontakteWorks::getSelfFriends()
{
    return loadOwnPage(QStringLiteral("/al_friends.php?act=load_friends_silent&al=1&gid=0&id="),
                       FriendsPages::readFriends);
}

ServiceAnswer<QStringList> VKontakteWorks::getSelfGroups()
{
    return loadOwnPage(QStringLiteral("/al_groups.php?act=get_list&al=1&tab=groups&mid="),
                       FriendsPages::readGroups);
}
