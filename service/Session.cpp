#include "service/Session.h"

#include "core/GlobalData.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "net/Http.h"
#include "service/ServiceEndpoints.h"

#include <QCoreApplication>

namespace Session {

const char *const errorLogLine = "Отлавливай ошибки, будь мужиком, блеать!";

namespace {
std::function<void()> beforeCookieScan;
} // namespace

void setBeforeCookieScan(std::function<void()> hook)
{
    beforeCookieScan = std::move(hook);
}

QString loginUrl(const QString &email, const QString &password)
{
    return ServiceEndpoints::current().loginBase +
           QStringLiteral("?act=login&q=1&al_frame=1&email=%1&pass=%2")
               .arg(Text::escapeQuery(email), Text::escapeQuery(password));
}

QString unreachableDetails()
{
    QString host = ServiceEndpoints::current().webHost;
    const qsizetype dot = host.indexOf(QLatin1Char('.'));
    const qsizetype firstLabel = dot < 0 ? host.size() : dot;
    host = host.left(firstLabel).toUpper() + host.mid(firstLabel);
    return host + QCoreApplication::translate("Melodrop", " недоступен на вашем устройстве");
}

SignInResult signIn(const QString &email, const QString &password)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    SignInResult result;
    try {
        const ServiceEndpoints &endpoints = ServiceEndpoints::current();
        result.probeCode = Http::head(endpoints.probeUrl, 60);
        Log::line(QStringLiteral("Код ответа для %1: %2")
                      .arg(endpoints.webHost, QString::number(result.probeCode)));
        if (result.probeCode != 200) {
            result.outcome = SignInResult::Unreachable;
            return result;
        }
        Http::deleteAllCookies();
        Http::get(loginUrl(email, password), {}, 120, true);

        if (beforeCookieScan)
            beforeCookieScan();
        global->setVksid(QString());
        for (const Http::Cookie &cookie : Http::cookies()) {
            if (cookie.name == QLatin1String("remixsid"))
                global->setVksid(cookie.value);
            else if (cookie.name == QLatin1String("l"))
                global->setVkuid(cookie.value);
        }
    } catch (...) {
        Log::line(QString::fromUtf8(errorLogLine));
        Http::deleteAllCookies();
        global->setVksid(QString());
        global->setVkuid(QString());
    }
    // The session identifier is a password in all but name: the log shows only enough to tell two apart.
    const QString sid = global->vksid();
    Log::line(QStringLiteral("SID: ") + (sid.size() > 4 ? sid.left(4) + QStringLiteral("…") : sid));
    Log::line(QStringLiteral("UID: %1").arg(global->vkuid()));
    result.outcome = global->vksid().isEmpty() ? SignInResult::Failed : SignInResult::SignedIn;
    return result;
}

void signOut()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    try {
        Http::get(QStringLiteral("http://%1/auth?login=logout&site=2&sid=%2")
                      .arg(ServiceEndpoints::current().logoutHost, global->vksid()),
                  {}, 5, true);
    } catch (...) {
        Log::line(QString::fromUtf8(errorLogLine));
    }
    Http::deleteAllCookies();
    global->setVksid(QString());
    global->setVkuid(QString());
    Log::line(QStringLiteral("Оффлайн"));
}

} // namespace Session
