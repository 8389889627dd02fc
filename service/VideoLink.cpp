// Video link resolution: the MP4 address of a video, built from the player variables of its page.
#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "decoding/Json.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/AudioSearchPage.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VideoPage.h"
#include "service/VKontakteWorks.h"

#include <QUrl>

#include <stdexcept>

namespace {

const QString NoMp4Text = QStringLiteral("1");
const QString UnusableText = QStringLiteral("2");

// An http or https address with a host, as the player and the download may be given.
bool isWebAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

struct UnreadableVariables : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// A variable as the page script would print it: texts as they are, numbers as their digits, true and false as
// 1 and 0. A missing variable gives the empty text.
QString textForm(const Json::Value *value)
{
    if (value == nullptr)
        return QString();
    if (value->type() == Json::Value::Type::Boolean)
        return value->toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value->toString();
}

// host, uid and vtag: a text (or a number, written as its digits) that must be there.
QString requiredText(const Json::Value &variables, const char *key)
{
    const Json::Value *value = variables.value(QString::fromLatin1(key));
    if (value == nullptr || !(value->isString() || value->isNumber()))
        throw UnreadableVariables(key);
    return value->toString();
}

QString linesFor(const QString &hd)
{
    if (hd == QLatin1String("1"))
        return QStringLiteral("360");
    if (hd == QLatin1String("2"))
        return QStringLiteral("480");
    if (hd == QLatin1String("3"))
        return QStringLiteral("720");
    return QStringLiteral("240");
}

} // namespace

QString VideoLink::text() const
{
    switch (kind) {
    case Address:
        return address;
    case NoMp4:
        return NoMp4Text;
    default:
        return UnusableText;
    }
}

QString VideoPage::readLinkPage(QString body)
{
    return readLink(std::move(body)).text();
}

VideoLink VideoPage::readLink(QString body)
{
    if (body.isEmpty())
        return {VideoLink::Unusable, {}};
    try {
        const QString text = Text::removeControlCharacters(std::move(body));
        // The page is long and the variables sit near its end: each marker is looked for once.
        const qsizetype varsAt = text.indexOf(u"var vars = {");
        if (varsAt < 0)
            return {VideoLink::Unusable, {}};
        // "host" may stand anywhere in the page; it follows the marker when the page has player variables.
        // (It cannot straddle the marker's start, which no tail of it matches.)
        if (text.indexOf(u"\"host\":", varsAt) < 0 && !QStringView(text).first(varsAt).contains(u"\"host\":"))
            return {VideoLink::Unusable, {}};
        // One flat object: the variables up to the first closing brace.
        QStringView variables = AudioPage::from(QStringView(text).mid(varsAt + 1), u"{");
        const qsizetype close = variables.indexOf(QLatin1Char('}'));
        if (close < 0)
            throw AudioPage::MissingMarker(QStringLiteral("}"));
        const std::optional<Json::Value> map = JSONValue(variables.left(close + 1).toString());
        if (!map || !map->isObject())
            throw UnreadableVariables("variables");

        QString host = requiredText(*map, "host").remove(QLatin1Char('"'));
        if (!host.contains(u"http://") && !host.contains(u"https://"))
            host.prepend(QStringLiteral("http://"));
        // The account follows the host as a path: "cs1.example" and "cs1.example/" name the same folder.
        if (!host.endsWith(QLatin1Char('/')))
            host += QLatin1Char('/');
        const QString vtag = requiredText(*map, "vtag").remove(QLatin1Char('"'));
        const QString account =
            QString(QStringLiteral("u") + requiredText(*map, "uid")).remove(QLatin1Char('"'));
        const QString noFlv = textForm(map->value(QStringLiteral("no_flv")));
        const QString lines = linesFor(textForm(map->value(QStringLiteral("hd"))));
        if (noFlv != QLatin1String("1"))
            return {VideoLink::NoMp4, {}};
        const QString address = host + account + QStringLiteral("/video/") + vtag + QLatin1Char('.') + lines +
                                QStringLiteral(".mp4");
        // The address goes to the player and the download: a page naming a "host" that makes anything but a
        // web address (a local file, another protocol) is refused.
        if (!isWebAddress(address)) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return {VideoLink::NotWebAddress, {}};
        }
        return {VideoLink::Address, address};
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return {VideoLink::Unusable, {}};
    }
}

QString VKontakteWorks::getVideoLink(const QString &key)
{
    return resolveVideoLink(key).text();
}

VideoLink VKontakteWorks::resolveVideoLink(const QString &key)
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    bool answered = false;
    QString body = Http::servicePage(
        ServiceEndpoints::webAddress(global->domain, u"/al_video.php?act=show&al=1&autoplay=0&video=") + key,
        global->vksid(), &answered);
    Pacing::pause(1);
    if (!answered) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        return {VideoLink::NoAnswer, {}};
    }
    return VideoPage::readLink(std::move(body));
}

QString VKontakteWorks::videoLinkWithLines(const QString &address, int lines)
{
    // The quality sits right before the first ".mp4": a dot and three digits.
    const qsizetype at = address.indexOf(u".mp4");
    if (at < 4)
        return address;
    return address.left(at - 4) + QLatin1Char('.') + QString::number(lines) + QStringLiteral(".mp4");
}
