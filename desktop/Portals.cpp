#include "desktop/Portals.h"

#include "decoding/Log.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace Portals {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Errors that mean "there is no portal to ask" rather than "the portal said no".
bool portalMissing(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::NoNetwork:
        return true;
    default:
        return false;
    }
}

QString nextToken()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("melodrop%1").arg(++counter);
}

// The portal names a request object after the caller's unique bus name and the token it was given; watching
// that path before the call leaves no window in which the answer could be missed.
QString requestPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// A read-only descriptor for `path`, or an invalid one when the file cannot be opened.
QDBusUnixFileDescriptor openDescriptor(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QDBusUnixFileDescriptor descriptor(fd); // keeps a duplicate
    ::close(fd);
    return descriptor;
}

bool canPassDescriptors(const QDBusConnection &bus)
{
    return bus.isConnected() && (bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing);
}

// Runs `work` from the event loop, unless `context` is gone by then.
void later(QObject *context, std::function<void()> work)
{
    QTimer::singleShot(0, context, std::move(work));
}

} // namespace

// Waits for the Response signal of one portal request; lives as a child of the caller's context.
class RequestWatcher : public QObject
{
    Q_OBJECT
public:
    RequestWatcher(std::function<void(uint, const QVariantMap &)> done, QObject *context)
        : QObject(context), m_done(std::move(done))
    {}

    void watch(const QString &path)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!m_path.isEmpty())
            bus.disconnect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                           SLOT(onResponse(uint, QVariantMap)));
        m_path = path;
        bus.connect(portalService, m_path, requestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint, QVariantMap)));
    }
    const QString &path() const { return m_path; }

public Q_SLOTS:
    void onResponse(uint code, const QVariantMap &results)
    {
        if (!m_done)
            return;
        auto done = std::move(m_done);
        m_done = nullptr;
        deleteLater();
        done(code, results);
    }

private:
    std::function<void(uint, const QVariantMap &)> m_done;
    QString m_path;
};

namespace {

// Sends one portal request. `onResponse` gets the request's response code (0 done, 1 cancelled, 2 other) and
// its results; `onError` the error when the call itself failed.
void callPortal(QDBusMessage message, const QString &token, QObject *context,
                std::function<void(uint, const QVariantMap &)> onResponse,
                std::function<void(const QDBusError &)> onError)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        later(context,
              [onError] { onError(QDBusError(QDBusError::Disconnected, QStringLiteral("no session bus"))); });
        return;
    }
    auto *watcher = new RequestWatcher(std::move(onResponse), context);
    const QString expected = requestPath(bus, token);
    watcher->watch(expected);
    auto *call = new QDBusPendingCallWatcher(bus.asyncCall(message), watcher);
    QObject::connect(call, &QDBusPendingCallWatcher::finished, watcher, [watcher, call, expected, onError] {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isError()) {
            watcher->deleteLater();
            onError(reply.error());
            return;
        }
        // Portals older than the handle_token option choose their own path.
        if (reply.value().path() != expected)
            watcher->watch(reply.value().path());
    });
}

// Runs `program` with `arguments`; `done` gets whether it ran and exited with 0. The process is not tied to
// `context`: leaving the screen must not kill the program it started.
void runTool(const QString &program, const QStringList &arguments, QObject *context,
             std::function<void(bool)> done)
{
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    auto finished = std::make_shared<bool>(false);
    QPointer<QObject> guard(context);
    auto finish = [process, finished, guard, done](bool ok) {
        if (*finished)
            return;
        *finished = true;
        process->deleteLater();
        if (guard)
            done(ok);
    };
    QObject::connect(process, &QProcess::finished, process, [finish](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false);
    });
    process->start(program, arguments);
}

void openWithoutPortal(const QString &path, QObject *context, std::function<void(OpenResult)> done)
{
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) {
        runTool(xdgOpen, {path}, context,
                [done](bool ok) { done(ok ? OpenResult::Opened : OpenResult::NoApplication); });
        return;
    }
    // QDesktopServices needs the GUI application object.
    const bool opened = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
                        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    later(context, [done, opened] { done(opened ? OpenResult::Opened : OpenResult::NoApplication); });
}

void mailWithoutPortal(const Email &email, QObject *context, std::function<void(MailResult)> done)
{
    const QString xdgEmail = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (xdgEmail.isEmpty()) {
        Log::line(QStringLiteral("No e-mail program: neither the Email portal nor xdg-email is available"));
        later(context, [done] { done(MailResult::Failed); });
        return;
    }
    runTool(xdgEmail,
            {QStringLiteral("--subject"), email.subject, QStringLiteral("--body"), email.body,
             QStringLiteral("--attach"), email.attachmentPath},
            context, [done](bool ok) { done(ok ? MailResult::Sent : MailResult::Failed); });
}

} // namespace

void openFile(const QString &path, QObject *context, std::function<void(OpenResult)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!canPassDescriptors(bus)) {
        openWithoutPortal(path, context, std::move(done));
        return;
    }
    const QDBusUnixFileDescriptor descriptor = openDescriptor(path);
    if (!descriptor.isValid()) {
        // Nothing can open a file that is not there; the tools would say the same after a detour.
        later(context, [done] { done(OpenResult::NoApplication); });
        return;
    }
    const QString token = nextToken();
    QDBusMessage message = QDBusMessage::createMethodCall(portalService, portalPath,
                                                          QStringLiteral("org.freedesktop.portal.OpenURI"),
                                                          QStringLiteral("OpenFile"));
    message << QString() << QVariant::fromValue(descriptor)
            << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("ask"), true}};
    QPointer<QObject> guard(context);
    callPortal(
        message, token, context,
        [done](uint code, const QVariantMap &) {
            done(code == 0   ? OpenResult::Opened
                 : code == 1 ? OpenResult::Cancelled
                             : OpenResult::NoApplication);
        },
        [path, guard, done](const QDBusError &error) {
            if (!guard)
                return;
            if (portalMissing(error)) {
                openWithoutPortal(path, guard, done);
                return;
            }
            Log::line(QStringLiteral("OpenURI portal: %1").arg(error.message()));
            done(OpenResult::NoApplication);
        });
}

void composeEmail(const Email &email, QObject *context, std::function<void(MailResult)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!canPassDescriptors(bus)) {
        mailWithoutPortal(email, context, std::move(done));
        return;
    }
    const QDBusUnixFileDescriptor descriptor = openDescriptor(email.attachmentPath);
    if (!descriptor.isValid()) {
        Log::line(QStringLiteral("Cannot read the attachment %1").arg(email.attachmentPath));
        later(context, [done] { done(MailResult::Failed); });
        return;
    }
    [[maybe_unused]] static const QMetaType registered =
        qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
    const QString token = nextToken();
    QDBusMessage message = QDBusMessage::createMethodCall(portalService, portalPath,
                                                          QStringLiteral("org.freedesktop.portal.Email"),
                                                          QStringLiteral("ComposeEmail"));
    message << QString()
            << QVariantMap{{QStringLiteral("handle_token"), token},
                           {QStringLiteral("subject"), email.subject},
                           {QStringLiteral("body"), email.body},
                           {QStringLiteral("attachment_fds"),
                            QVariant::fromValue(QList<QDBusUnixFileDescriptor>{descriptor})}};
    QPointer<QObject> guard(context);
    callPortal(
        message, token, context,
        [done](uint code, const QVariantMap &) {
            // The portal only knows that the composer was handed the message, which is as far as we can
            // follow it.
            done(code == 0 ? MailResult::Sent : code == 1 ? MailResult::Cancelled : MailResult::Failed);
        },
        [email, guard, done](const QDBusError &error) {
            if (!guard)
                return;
            if (portalMissing(error)) {
                mailWithoutPortal(email, guard, done);
                return;
            }
            Log::line(QStringLiteral("Email portal: %1").arg(error.message()));
            done(MailResult::Failed);
        });
}

namespace {

// The portal's filter: a name and its rules, each (0, glob) or (1, MIME type): signature (sa(us)).
struct FilterRule
{
    uint kind = 0;
    QString pattern;
};
struct Filter
{
    QString name;
    QList<FilterRule> rules;
};

} // namespace

} // namespace Portals

Q_DECLARE_METATYPE(Portals::FilterRule)
Q_DECLARE_METATYPE(Portals::Filter)

namespace Portals {

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const FilterRule &rule)
{
    argument.beginStructure();
    argument << rule.kind << rule.pattern;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, FilterRule &rule)
{
    argument.beginStructure();
    argument >> rule.kind >> rule.pattern;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const Filter &filter)
{
    argument.beginStructure();
    argument << filter.name << filter.rules;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Filter &filter)
{
    argument.beginStructure();
    argument >> filter.name >> filter.rules;
    argument.endStructure();
    return argument;
}

// The "uris" of a response: a list of texts, which QtDBus may hand over still marshalled.
QStringList urisOf(const QVariantMap &results)
{
    const QVariant uris = results.value(QStringLiteral("uris"));
    if (uris.canConvert<QDBusArgument>()) {
        QStringList list;
        uris.value<QDBusArgument>() >> list;
        return list;
    }
    return uris.toStringList();
}

} // namespace

void chooseFile(const QString &title, const FileFilter &filter, QObject *context,
                std::function<void(ChooseResult, const QString &)> done)
{
    static const bool registered = [] {
        qDBusRegisterMetaType<FilterRule>();
        qDBusRegisterMetaType<QList<FilterRule>>();
        qDBusRegisterMetaType<Filter>();
        qDBusRegisterMetaType<QList<Filter>>();
        return true;
    }();
    (void)registered;
    Filter portalFilter{filter.name, {}};
    for (const QString &glob : filter.globs)
        portalFilter.rules.append({0, glob});
    const QString token = nextToken();
    QDBusMessage message = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.portal.FileChooser"),
        QStringLiteral("OpenFile"));
    message << QString() << title
            << QVariantMap{{QStringLiteral("handle_token"), token},
                           {QStringLiteral("modal"), true},
                           {QStringLiteral("multiple"), false},
                           {QStringLiteral("filters"), QVariant::fromValue(QList<Filter>{portalFilter})},
                           {QStringLiteral("current_filter"), QVariant::fromValue(portalFilter)}};
    QPointer<QObject> guard(context);
    callPortal(
        message, token, context,
        [done](uint code, const QVariantMap &results) {
            if (code == 1) {
                done(ChooseResult::Cancelled, {});
                return;
            }
            // Only local files: a document portal path is local too, and readable by this program.
            const QStringList uris = urisOf(results);
            const QUrl url = uris.isEmpty() ? QUrl() : QUrl(uris.first());
            if (code != 0 || !url.isLocalFile()) {
                done(code == 0 ? ChooseResult::Cancelled : ChooseResult::Unavailable, {});
                return;
            }
            done(ChooseResult::Chosen, url.toLocalFile());
        },
        [guard, done](const QDBusError &error) {
            if (!guard)
                return;
            Log::line(QStringLiteral("FileChooser portal: %1").arg(error.message()));
            done(ChooseResult::Unavailable, {});
        });
}

IdleInhibitor::IdleInhibitor(QObject *parent) : QObject(parent) {}

IdleInhibitor::~IdleInhibitor()
{
    endInhibition();
}

void IdleInhibitor::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void IdleInhibitor::inhibit(const QString &reason)
{
    if (m_state == Requesting || m_state == ThroughPortal || m_state == ThroughScreenSaver)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        setState(Unavailable);
        return;
    }
    setState(Requesting);
    const int generation = m_generation;
    QDBusMessage message = QDBusMessage::createMethodCall(portalService, portalPath,
                                                          QStringLiteral("org.freedesktop.portal.Inhibit"),
                                                          QStringLiteral("Inhibit"));
    constexpr uint idle = 8;
    message << QString() << idle
            << QVariantMap{{QStringLiteral("handle_token"), nextToken()}, {QStringLiteral("reason"), reason}};
    auto *call = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, generation, reason] {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (generation != m_generation) {
            // Released while the request was on its way: end what it started.
            if (!reply.isError())
                QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
                    portalService, reply.value().path(), requestInterface, QStringLiteral("Close")));
            return;
        }
        if (reply.isError()) {
            tryScreenSaver(reason);
            return;
        }
        m_portalHandle = reply.value();
        setState(ThroughPortal);
    });
}

void IdleInhibitor::tryScreenSaver(const QString &reason)
{
    const int generation = m_generation;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    const QString application = QCoreApplication::applicationName().isEmpty()
                                    ? QStringLiteral("Melodrop")
                                    : QCoreApplication::applicationName();
    message << application << reason;
    auto *call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call, generation] {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (generation != m_generation) {
            if (!reply.isError()) {
                QDBusMessage undo = QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.ScreenSaver"),
                    QStringLiteral("/org/freedesktop/ScreenSaver"),
                    QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
                undo << reply.value();
                QDBusConnection::sessionBus().asyncCall(undo);
            }
            return;
        }
        if (reply.isError()) {
            Log::line(QStringLiteral("The screen may dim: no idle inhibition is available (%1)")
                          .arg(reply.error().message()));
            setState(Unavailable);
            return;
        }
        m_screenSaverCookie = reply.value();
        setState(ThroughScreenSaver);
    });
}

void IdleInhibitor::release()
{
    endInhibition();
    setState(Released);
}

void IdleInhibitor::endInhibition()
{
    ++m_generation;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_state == ThroughPortal && bus.isConnected()) {
        bus.asyncCall(QDBusMessage::createMethodCall(portalService, m_portalHandle.path(), requestInterface,
                                                     QStringLiteral("Close")));
    } else if (m_state == ThroughScreenSaver && bus.isConnected()) {
        QDBusMessage undo = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
        undo << m_screenSaverCookie;
        bus.asyncCall(undo);
    }
    m_portalHandle = QDBusObjectPath();
    m_screenSaverCookie = 0;
}

void showInFolder(const QString &path, QObject *context, std::function<void(bool shown)> done)
{
    const auto answer = [done](bool shown) {
        if (done)
            done(shown);
    };
    const QFileInfo info(path);
    const bool folder = info.isDir();
    const QString folderPath = folder ? info.absoluteFilePath() : info.absolutePath();
    // The last resort opens the folder itself, the file unselected.
    auto withoutFileManager = [folderPath, context, answer] {
        openWithoutPortal(folderPath, context,
                          [answer](OpenResult result) { answer(result == OpenResult::Opened); });
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        withoutFileManager();
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"),
        folder ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"));
    message << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)}
            << QString();
    QPointer<QObject> guard(context);
    auto *call = new QDBusPendingCallWatcher(bus.asyncCall(message), context);
    QObject::connect(call, &QDBusPendingCallWatcher::finished, context,
                     [call, guard, folder, path, answer, withoutFileManager] {
                         call->deleteLater();
                         if (!call->isError()) {
                             answer(true);
                             return;
                         }
                         if (!guard)
                             return;
                         // No file manager on the bus: the portal opens the folder of a file it is handed.
                         QDBusConnection bus = QDBusConnection::sessionBus();
                         const QDBusUnixFileDescriptor descriptor = folder || !canPassDescriptors(bus)
                                                                        ? QDBusUnixFileDescriptor()
                                                                        : openDescriptor(path);
                         if (!descriptor.isValid()) {
                             withoutFileManager();
                             return;
                         }
                         const QString token = nextToken();
                         QDBusMessage open = QDBusMessage::createMethodCall(
                             portalService, portalPath, QStringLiteral("org.freedesktop.portal.OpenURI"),
                             QStringLiteral("OpenDirectory"));
                         open << QString() << QVariant::fromValue(descriptor)
                              << QVariantMap{{QStringLiteral("handle_token"), token}};
                         callPortal(
                             open, token, guard,
                             [answer](uint code, const QVariantMap &) { answer(code == 0); },
                             [answer, withoutFileManager](const QDBusError &error) {
                                 if (portalMissing(error)) {
                                     withoutFileManager();
                                     return;
                                 }
                                 Log::line(QStringLiteral("OpenURI portal: %1").arg(error.message()));
                                 answer(false);
                             });
                     });
}

} // namespace Portals

#include "Portals.moc"
