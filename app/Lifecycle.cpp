#include "app/Lifecycle.h"

#include "core/GlobalData.h"
#include "core/PropertyList.h"
#include "core/Settings.h"
#include "core/Storage.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Log.h"
#include "decoding/Text.h"
#include "desktop/Badges.h"
#include "downloads/DownloadQueue.h"
#include "library/LibraryScan.h"
#include "library/LibraryStore.h"
#include "library/PlaylistExchange.h"
#include "library/PlaylistFile.h"
#include "net/FileSink.h"
#include "net/Http.h"
#include "playback/AudioPlayer.h"
#include "playback/PlayerEvents.h"
#include "screens/PlaylistImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QWindow>

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end is used from the signal handler, which may only make async-signal-safe calls.
int signalPipe[2] = {-1, -1};
const Lifecycle *signalWatcher = nullptr;

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void deleteUnfinishedDownloads(const QString &folder)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // Only files: a folder of the user's that happens to be named "….temp" is not a partial download. One
        // that another program is downloading into right now (melodrop-cli, another instance) is its to keep.
        if (LibraryScan::pathExtension(entry.fileName()) == QLatin1String("temp"))
            FileSink::removeUnlessHeldElsewhere(entry.filePath());
    }
}

} // namespace

Lifecycle::Lifecycle(Settings *settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_autosave(&Stores::playlist(), autosavedPlaylistPath())
{
    connect(&m_autosave, &PlaylistAutosave::restored, this, &Lifecycle::autosavedPlaylistRestored);
    connect(&m_autosave, &PlaylistAutosave::saved, this, &Lifecycle::autosavedPlaylistSaved);
}

Lifecycle::~Lifecycle()
{
    if (signalWatcher != this)
        return;
    // Nobody is left to turn the signals into an orderly exit: let them end the process as usual again.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
    signalWatcher = nullptr;
}

Settings &Lifecycle::settings() const
{
    return m_settings ? *m_settings : Settings::shared();
}

QString Lifecycle::autosavedPlaylistPath()
{
    return StorageLayout::getRootDir() + QStringLiteral("/AudioAutosavedPlaylist.tune");
}

QString Lifecycle::importFolder(const QString &mediaDir)
{
    return mediaDir + QLatin1Char('/') + tr("Импортированные");
}

bool Lifecycle::didFinishLaunching(const LaunchSteps &steps)
{
    if (settings().boolValue(QStringLiteral("auto_sleep"), true)) {
        if (steps.disableIdleTimer)
            steps.disableIdleTimer();
        else
            m_idle.inhibit(tr("Melodrop не даёт экрану гаснуть"));
    }
    // Showing the tab bar asks it whether it may follow the device's rotation. A desktop window does not
    // rotate, but the setting is read, and its default written, as the tab bar would.
    settings().boolValue(QStringLiteral("settings_rotation"), true);
    if (steps.showWindow)
        steps.showWindow();

    Badges::shared().setApplicationBadge(DownloadQueue::shared().count());

    if (steps.afterFirstFrame) {
        const QPointer<Lifecycle> self(this);
        steps.afterFirstFrame([self] {
            if (self)
                self->restoreAutosavedPlaylist();
        });
    } else {
        restoreAutosavedPlaylist();
    }

    if (steps.audioSession)
        steps.audioSession();
    if (steps.remoteControl)
        steps.remoteControl();
    return true;
}

void Lifecycle::restoreAutosavedPlaylist()
{
    m_autosave.restore();
}

void Lifecycle::autosavedPlaylistRestored(PropertyList::Error error, int entries, const QString &keptAs)
{
    if (error == PropertyList::Error::None) {
        if (entries > 0)
            Q_EMIT PlayerEvents::shared().playlistChanged();
        return;
    }
    // Saving at suspension or exit would replace the file with the empty playlist: it was moved aside first,
    // and the user is told where it went.
    const QString path = m_autosave.path();
    Log::line(QStringLiteral("The autosaved playlist %1 could not be read (%2); %3")
                  .arg(path, PropertyList::describe(error),
                       keptAs.isEmpty() ? QStringLiteral("it could not be moved aside and is not saved over")
                                        : QStringLiteral("kept as ") + keptAs));
    if (keptAs.isEmpty()) {
        notify(tr("Ошибка"), tr("Плейлист из прошлого запуска не удалось прочитать. Плеер начинает с "
                                "пустого плейлиста; файл %1 не будет перезаписан.")
                                 .arg(path));
    } else {
        notify(tr("Ошибка"), tr("Плейлист из прошлого запуска не удалось прочитать. Плеер начинает с "
                                "пустого плейлиста; файл сохранён как %1.")
                                 .arg(keptAs));
    }
}

void Lifecycle::saveAutosavedPlaylist()
{
    if (m_autosave.held()) {
        Log::line(QStringLiteral("The playlist is not saved to %1: the unreadable file there is kept")
                      .arg(m_autosave.path()));
        return;
    }
    m_autosave.save();
}

void Lifecycle::autosavedPlaylistSaved(PropertyList::WriteResult result)
{
    const QString path = m_autosave.path();
    switch (result) {
    case PropertyList::WriteResult::Written:
        return;
    case PropertyList::WriteResult::TooLarge:
        Log::line(QStringLiteral("The playlist is not saved to %1: its file would be larger than %2 MB")
                      .arg(path)
                      .arg(PropertyList::maxFileSize / (1024 * 1024)));
        // Once per run: the window goes to the background again and again.
        if (!m_tooLargeNoticeShown) {
            m_tooLargeNoticeShown = true;
            notify(tr("Ошибка"), tr("Плейлист слишком велик, чтобы его сохранить (файл был бы больше %1 МБ). "
                                    "Сохранённым остаётся прежний плейлист.")
                                     .arg(PropertyList::maxFileSize / (1024 * 1024)));
        }
        return;
    case PropertyList::WriteResult::Failed:
        Log::line(QStringLiteral("The playlist could not be saved to %1").arg(path));
        return;
    }
}

void Lifecycle::applicationDidEnterBackground()
{
    saveAutosavedPlaylist();
}

void Lifecycle::applicationWillTerminate()
{
    // Requests still waiting for the service end now instead of holding the exit up to their time-out.
    Http::abortAll();
    // The exit waits for the write: quitting never loses the playlist.
    if (m_autosave.held())
        saveAutosavedPlaylist(); // says why nothing is written
    else
        m_autosave.finish();
    deleteUnfinishedDownloads(StorageLayout::getAudioDir());
    deleteUnfinishedDownloads(StorageLayout::getVideoDir());
    Badges::shared().setApplicationBadge(0);
}

void Lifecycle::windowVisibilityChanged(int visibility)
{
    if (visibility == QWindow::Minimized || visibility == QWindow::Hidden)
        applicationDidEnterBackground();
}

void Lifecycle::applicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationHidden || state == Qt::ApplicationSuspended)
        applicationDidEnterBackground();
}

QString Lifecycle::importedFileName(const QUrl &url)
{
    QString encoded = url.path(QUrl::FullyEncoded);
    while (encoded.endsWith(QLatin1Char('/')))
        encoded.chop(1);
    QString name = encoded.mid(encoded.lastIndexOf(QLatin1Char('/')) + 1);
    name = QUrl::fromPercentEncoding(name.toUtf8());
    name = Text::trimmed(Text::decodeHtmlEntities(name));
    // Escapes and references can spell a separator ("%2F", "&#47;"): only the part after the last one is a
    // name, so that the copy cannot land outside the import folder.
    name = Text::trimmed(name.mid(name.lastIndexOf(QLatin1Char('/')) + 1));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QChar(0)))
        return {};
    return name;
}

bool Lifecycle::handleOpenURL(const QUrl &url)
{
    if (!url.isValid() || !url.isLocalFile())
        return true;
    const QString extension = LibraryScan::pathExtension(QFileInfo(url.path()).fileName()).toLower();
    if (PlaylistExchange::formatOf(url.path()) != PlaylistExchange::Format::Unknown)
        importPlaylist(url.toLocalFile());
    else if (extension == QLatin1String("mp3"))
        import(url, StorageLayout::getAudioDir(), QStringLiteral("audio"), false);
    else if (extension == QLatin1String("mp4"))
        import(url, StorageLayout::getVideoDir(), QStringLiteral("video"), true);
    return true;
}

void Lifecycle::import(const QUrl &url, const QString &mediaDir, const QString &displayFolder, bool logName)
{
    const QString name = importedFileName(url);
    if (name.isEmpty()) {
        notify(tr("Ошибка"), tr("Файл не импортирован: в его адресе нет имени файла"));
        return;
    }
    Storage::ensureFolder(mediaDir);
    const QString folder = importFolder(mediaDir);
    Storage::ensureFolder(folder);
    const QString target = folder + QLatin1Char('/') + name;
    // QFile::copy never replaces an existing file, and it writes through a temporary file and a rename. A
    // file of that name already there stays, and the notice still shows; any other failed copy is an error.
    const bool existed = QFileInfo::exists(target);
    QFile source(url.toLocalFile());
    if (!existed && !source.copy(target)) {
        Log::line(QStringLiteral("Import of ") + url.toLocalFile() + QStringLiteral(" failed: ") +
                  source.errorString());
        notify(tr("Ошибка"), tr("Файл %1 не импортирован: %2").arg(name, source.errorString()));
        return;
    }
    if (!existed) {
        if (LibraryStore *store = LibraryStore::holding(target))
            store->pathChanged(target);
    }
    if (logName)
        Log::line(name);
    // The folder as a path of this system, below the documents folder.
    notify(tr("Уведомление"), tr("Файл %1 помещён в папку %2/Импортированные").arg(name, displayFolder));
}

void Lifecycle::importPlaylist(const QString &path)
{
    const PlaylistImport::Notice notice = PlaylistImport::importFile(path);
    notify(notice.title, notice.message);
}

void Lifecycle::notify(const QString &title, const QString &message)
{
    // Files handed over together would otherwise each replace the previous notice before it could be read.
    m_notices.append({title, message});
    if (!m_noticeShown)
        showNextNotice();
}

void Lifecycle::showNextNotice()
{
    if (m_notices.isEmpty()) {
        m_noticeShown = false;
        return;
    }
    m_noticeShown = true;
    const QPair<QString, QString> notice = m_notices.takeFirst();
    Q_EMIT alertRequested(notice.first, notice.second, {tr("Готово")}, noticeTag);
}

void Lifecycle::alertAnswered(int tag, int index)
{
    Q_UNUSED(index);
    if (tag == noticeTag && m_noticeShown)
        showNextNotice();
}

QString Lifecycle::copyToInbox(const QString &path)
{
    const QString inbox = StorageLayout::getInboxDir();
    const QFileInfo source(path);
    if (QFileInfo(source.absolutePath()) == QFileInfo(inbox))
        return source.absoluteFilePath();
    if (!Storage::ensureFolder(inbox))
        return {};
    // A file handed over again replaces the earlier copy; the Inbox only stages files for the import.
    const QString target = inbox + QLatin1Char('/') + source.fileName();
    const QString partial = inbox + QStringLiteral("/.") + source.fileName() + QLatin1Char('.') +
                            QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(path, partial))
        return {};
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(partial);
        return {};
    }
    return target;
}

void Lifecycle::openArguments(const QStringList &arguments, const QString &workingDirectory)
{
    for (const QString &argument : arguments) {
        const QUrl url = QUrl::fromUserInput(argument, workingDirectory, QUrl::AssumeLocalFile);
        if (!url.isLocalFile()) {
            handleOpenURL(url);
            continue;
        }
        const QString path = url.toLocalFile();
        // A playlist is read where it lies: its relative paths start from its own folder.
        if (PlaylistExchange::formatOf(path) != PlaylistExchange::Format::Unknown) {
            handleOpenURL(url);
            continue;
        }
        const QString extension = LibraryScan::pathExtension(QFileInfo(path).fileName()).toLower();
        if (extension != QLatin1String("mp3") && extension != QLatin1String("mp4"))
            continue; // would be ignored anyway: not worth a copy
        if (!QFileInfo(path).isFile()) {
            Log::line(QStringLiteral("Not a file: %1").arg(path));
            continue;
        }
        const QString staged = copyToInbox(path);
        if (staged.isEmpty()) {
            Log::line(QStringLiteral("Could not copy %1 into the Inbox folder").arg(path));
            continue;
        }
        handleOpenURL(QUrl::fromLocalFile(staged));
    }
}

void Lifecycle::watchTerminationSignals()
{
    if (signalWatcher)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    signalWatcher = this;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t received = ::read(signalPipe[1], &byte, 1);
        Q_EMIT terminationRequested();
        // Not quit(): that asks every window to close first, and the main window may refuse.
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
