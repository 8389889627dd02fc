// The rights-holder list: search texts the search screen refuses, kept in a plain file outside the program.
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

ServiceAnswer<QStringList> VKontakteWorks::getRiaaList()
{
    return ServiceAnswer<QStringList>::of([&]() -> std::optional<QStringList> {
        try {
            // A plain file on a public host: no session cookie and no page-request fields.
            const Http::Response response =
                Http::get(ServiceEndpoints::current().riaaUrl, {{"Accept-Encoding", "gzip"}}, 120);
            const QString text = Text::decodeWindows1251(response.received ? response.body : QByteArray());
            return text.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
        } catch (...) {
            Log::line(QString::fromUtf8(Session::errorLogLine));
            return std::nullopt;
        }
    });
}

bool VKontakteWorks::riaaRefuses(const QStringList &list, const QString &searchText)
{
    const QString wanted = Text::trimmed(searchText);
    for (const QString &entry : list) {
        if (Text::trimmed(entry) == wanted)
            return true;
    }
    return false;
}
