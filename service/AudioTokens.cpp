// The add and delete tokens of the service's pages, and the requests that use them.
#include "core/GlobalData.h"
#include "decoding/Log.h"
#include "net/Http.h"
#include "service/AudioSearchPage.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <mutex>

namespace {

// Any user's list page carries both tokens; this number has no list of its own, so the page stays small.
const QString TokenPagePath = QStringLiteral("/audio?act=load_audios_silent&al=1&gid=0&id=9999999999&edit=0");

// Add and delete run on tasks of their own and may overlap: the token texts are copied and replaced only
// under this lock, so that a reader never sees a half-replaced string (the later store still wins).
std::mutex tokenMutex;

QString storedToken(const QString &field)
{
    std::lock_guard lock(tokenMutex);
    return field;
}

void storeToken(QString &field, const QString &token)
{
    std::lock_guard lock(tokenMutex);
    field = token;
}

QString fetchToken(QStringView marker, const QString &stored)
{
    QString result = QStringLiteral("0");
    try {
        const GlobalData *global = GlobalData::sharedGlobalData();
        const QString page =
            Http::servicePage(ServiceEndpoints::webAddress(global->domain, TokenPagePath), global->vksid());
        if (page.contains(QLatin1Char('{'))) {
            QStringView token = AudioPage::from(page, marker);
            token = AudioPage::after(token, u":");
            result = AudioPage::upTo(token, u",").toString();
            result.remove(QLatin1Char('"'));
        }
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
        result = storedToken(stored);
    }
    return result;
}

// Both requests: the token fetched once per run, then a plain GET whose answer is not read.
void sendWithToken(QString &stored, QString (*fetch)(), const QString &logFormat, const QString &act,
                   const QString &aid, const QString &oid)
{
    try {
        GlobalData *global = GlobalData::sharedGlobalData();
        if (storedToken(stored) == QLatin1String("0")) {
            storeToken(stored, fetch());
            Log::line(logFormat.arg(storedToken(stored)));
        }
        const QString url = ServiceEndpoints::webAddress(global->domain, QStringLiteral("/audio?act=")) +
                            act + QStringLiteral("&al=1&aid=") + aid + QStringLiteral("&oid=") + oid +
                            QStringLiteral("&hash=") + storedToken(stored);
        // Unlike the page requests, no X-Requested-With: the service takes these as plain navigations.
        const Http::Headers headers{
            {"Cookie", "remixsid=" + global->vksid().toUtf8()},
            {"Accept-Encoding", "gzip"},
        };
        Http::get(url, headers, 120);
    } catch (...) {
        Log::line(QString::fromUtf8(Session::errorLogLine));
    }
}

} // namespace

QString VKontakteWorks::getAddAudioHash()
{
    return fetchToken(u"\"add_hash\":", GlobalData::sharedGlobalData()->addAudioHash);
}

QString VKontakteWorks::getDelAudioHash()
{
    return fetchToken(u"\"delete_hash\":", GlobalData::sharedGlobalData()->delAudioHash);
}

void VKontakteWorks::addAudio(const QString &aid, const QString &oid)
{
    sendWithToken(GlobalData::sharedGlobalData()->addAudioHash, &VKontakteWorks::getAddAudioHash,
                  QStringLiteral("Хэш добавления аудио: %1"), QStringLiteral("add"), aid, oid);
}

void VKontakteWorks::delAudio(const QString &aid, const QString &oid)
{
    sendWithToken(GlobalData::sharedGlobalData()->delAudioHash, &VKontakteWorks::getDelAudioHash,
                  QStringLiteral("Хэш удаления аудио: %1"), QStringLiteral("delete_audio"), aid, oid);
}
