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
        const Http::Response probe = Http::head(endpoints.probeUrl, 60);
        result.probeCode = probe.status;
        Log::line(QStringLiteral("Код ответа для %1: %2")
                      .arg(endpoints.webHost, QString::number(result.probeCode)));
        if (result.probeCode != 200) {
            result.outcome = SignInResult::Unreachable;
            result.cause =
                probe.received
                    ? QCoreApplication::translate("Melodrop", "сервис ответил кодом %1").arg(result.probeCode)
                    : QCoreApplication::translate("Melodrop", "нет ответа: %1").arg(probe.error);
            Log::line(QStringLiteral("Причина: ") + result.cause);
            return result;
        }
        Http::deleteAllCookies();
        const Http::Response login = Http::get(loginUrl(email, password), {}, 120, true);
        if (!login.received)
            result.cause = QCoreApplication::translate("Melodrop", "нет ответа: %1").arg(login.error);

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
        result.cause = QCoreApplication::translate("Melodrop", "ответ сервиса не удалось прочитать");
    }
    // The session identifier is a password in all but name: the log shows only enough to tell two apart.
    const QString sid = global->vksid();
    Log::line(QStringLiteral("SID: ") + (sid.size() > 4 ? sid.left(4) + QStringLiteral("…") : sid));
    Log::line(QStringLiteral("UID: %1").arg(global->vkuid()));
    if (!sid.isEmpty()) {
        result.outcome = SignInResult::SignedIn;
        result.cause.clear();
        return result;
    }
    result.outcome = SignInResult::Failed;
    // An answer without a session is what the service gives for a wrong e-mail or password.
    if (result.cause.isEmpty())
        result.cause =
            QCoreApplication::translate("Melodrop", "сервис не открыл сеанс: неверный e-mail или пароль");
    Log::line(QStringLiteral("Причина: ") + result.cause);
    return result;
}

void signOut()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    try {
        Http::get(QStringLiteral("%1://%2/auth?login=logout&site=2&sid=%3")
                      .arg(ServiceEndpoints::current().webScheme, ServiceEndpoints::current().logoutHost,
                           global->vksid()),
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
