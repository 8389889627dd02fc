#include "library/LibraryBrowser.h"

#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "decoding/Text.h"
#include "library/LibraryScan.h"
#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

LibraryBrowser::LibraryBrowser(Media media, Screen screen, Settings *settings, QObject *parent)
    : QObject(parent), m_media(media), m_screen(screen), m_settings(settings),
      m_entries(new LibraryEntries(this))
{
    // The sums below the folder shown change as walks end and as files land elsewhere below it.
    connect(&store(), &LibraryStore::totalsChanged, this, [this] {
        if (m_listedOnce)
            updateTitle();
    });
}

LibraryStore &LibraryBrowser::store() const
{
    return m_media == AudioMedia ? LibraryStore::audio() : LibraryStore::video();
}

QString LibraryBrowser::mediaDir() const
{
    return m_media == AudioMedia ? StorageLayout::getAudioDir() : StorageLayout::getVideoDir();
}

QString LibraryBrowser::currentFolder() const
{
    QString folder = mediaDir();
    for (const QString &name : m_pathToDir)
        folder += QLatin1Char('/') + name;
    return folder;
}

QStringList &LibraryBrowser::list() const
{
    GlobalData *global = GlobalData::sharedGlobalData();
    return m_media == AudioMedia ? global->audioLibraryArray : global->videoLibraryArray;
}

QString LibraryBrowser::mediaExtension() const
{
    return m_media == AudioMedia ? QStringLiteral("mp3") : QStringLiteral("mp4");
}

Settings &LibraryBrowser::settings() const
{
    return m_settings ? *m_settings : Settings::shared();
}

QString LibraryBrowser::pathExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {}; // no dot, or a hidden name such as ".mp3"
    return name.mid(dot + 1);
}

float LibraryBrowser::megabytes(qint64 bytes)
{
    return float(bytes) * (1.0f / 1048576.0f);
}

void LibraryBrowser::viewWillAppear()
{
    listFolder(Listing::SameList);
}

void LibraryBrowser::reloadLibrary()
{
    listFolder(Listing::NewList);
}

void LibraryBrowser::fileChanged(const QString &path)
{
    const QString folder = QDir::cleanPath(currentFolder()) + QLatin1Char('/');
    if (QDir::cleanPath(path).startsWith(folder))
        listFolder(Listing::SameList);
}

void LibraryBrowser::listFolder(Listing how)
{
    if (m_relistTimer)
        m_relistTimer->stop(); // listed now
    const QString folder = currentFolder();
    // One pass: the folders first, then the media files, each sorted by name ignoring case (ext4 and most
    // Linux file systems hand entries back in hash order, which reads as random). A folder named like a media
    // file ("Album.mp3", "Vol. 2") is a folder.
    const LibraryScan::Listing listing = LibraryScan::list(folder, mediaExtension());

    QStringList &shown = list();
    shown.clear();
    shown.reserve(listing.entries.size());
    const QString folderIcon = QStringLiteral("icon_folder.png");
    const QString fileIcon =
        m_media == AudioMedia ? QStringLiteral("icon_audio.png") : QStringLiteral("icon_video.png");
    const QString deleteFolder = tr("Удалить папку");
    const QString deleteFile = tr("Удалить файл");
    const QString detail = tr("Размер: %1 Мб");
    const bool accessory = rowsHaveAccessory();
    QList<LibraryEntries::Row> rows;
    rows.reserve(listing.entries.size());
    for (const LibraryScan::Entry &entry : listing.entries) {
        shown.append(entry.name);
        LibraryEntries::Row row;
        row.name = entry.name;
        row.folder = entry.folder;
        if (entry.folder) {
            row.icon = folderIcon;
            row.deleteTitle = deleteFolder;
        } else {
            row.icon = fileIcon;
            row.detail = detail.arg(double(megabytes(entry.bytes)), 0, 'f', 2);
            row.accessory = accessory;
            row.deleteTitle = deleteFile;
        }
        rows.append(std::move(row));
    }

    store().folderListed(folderKey(), listing.folder);
    m_listedOnce = true;
    watch(folder);
    updateTitle();
    if (how == Listing::SameList) {
        m_entries->updateRows(std::move(rows));
    } else {
        m_entries->setRows(std::move(rows));
        if (scrollsToTopAfterListing() && !shown.isEmpty())
            Q_EMIT scrollToRow(0, Top, false);
    }
    Q_EMIT listed();
}

void LibraryBrowser::watch(const QString &folder)
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        m_relistTimer = new QTimer(this);
        m_relistTimer->setSingleShot(true);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
                [this] { m_relistTimer->start(Pacing::milliseconds(relistDelaySeconds)); });
        connect(m_relistTimer, &QTimer::timeout, this, [this] { listFolder(Listing::SameList); });
    }
    const QStringList watched = m_watcher->directories();
    if (watched.size() == 1 && watched.constFirst() == folder)
        return;
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    // A folder that is not there (gone since) has nothing to watch; the next listing tries again.
    if (QFileInfo(folder).isDir())
        m_watcher->addPath(folder);
}

void LibraryBrowser::updateTitle()
{
    const bool counting = settings().boolValue(
        m_media == AudioMedia ? QStringLiteral("count_audio") : QStringLiteral("count_video"), true);
    if (!counting) {
        if (m_pathToDir.isEmpty())
            setTitle(m_screen == ExportScreen ? tr("Экспорт") : tr("Медиатека"));
        else
            setTitle(QStringLiteral("..\\%1").arg(m_pathToDir.constLast()));
        return;
    }
    const std::optional<LibraryStore::Totals> totals = store().totalsBelow(folderKey());
    if (!totals) {
        // A part of the sum is being walked on the store's worker; totalsChanged brings the title. Until then
        // the folder keeps the title it had, and a folder just entered shows none.
        if (m_titleFolder != folderKey())
            setTitle(QString());
        return;
    }
    const float size = megabytes(totals->mediaBytes);
    setTitle((m_pathToDir.isEmpty() ? tr("Всего: %1 Мб") : tr("Папка: %1 Мб")).arg(double(size), 0, 'f', 1));
}

void LibraryBrowser::setTitle(const QString &title)
{
    const QString folder = folderKey();
    if (title == m_title && folder == m_titleFolder)
        return;
    m_title = title;
    m_titleFolder = folder;
    Q_EMIT titleChanged();
}

void LibraryBrowser::toParentFolder()
{
    if (m_pathToDir.isEmpty())
        return;
    m_pathToDir.removeLast();
    Q_EMIT folderChanged();
    Q_EMIT slideRequested(FromLeft);
    reloadLibrary();
}

void LibraryBrowser::enterFolder(const QString &name)
{
    m_pathToDir.append(name);
    Q_EMIT folderChanged();
    Q_EMIT slideRequested(FromRight);
    reloadLibrary();
}

void LibraryBrowser::returnToTop()
{
    if (!m_pathToDir.isEmpty()) {
        m_pathToDir.clear();
        Q_EMIT folderChanged();
    }
    reloadLibrary();
}

QString LibraryBrowser::entryName(int row) const
{
    const QStringList &shown = list();
    return row >= 0 && row < shown.size() ? shown.at(row) : QString();
}

bool LibraryBrowser::isFolder(const QString &name) const
{
    return QFileInfo(fullPath(name)).isDir();
}

QString LibraryBrowser::fullPath(const QString &name) const
{
    return currentFolder() + QLatin1Char('/') + name;
}

QString LibraryBrowser::relativePath(const QString &name) const
{
    QStringList parts = m_pathToDir;
    parts.append(name);
    return parts.join(QLatin1Char('/'));
}

void LibraryBrowser::removeEntry(const QString &path)
{
    // A trash that cannot take the entry (none on that file system) leaves the described deletion.
    if (settings().contains(QString::fromLatin1(trashSettingKey)) &&
        settings().boolValue(QString::fromLatin1(trashSettingKey), false) && QFile::moveToTrash(path))
        return;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

void LibraryBrowser::removeAllMedia()
{
    removeEverythingBelow(mediaDir());
    returnToTop();
}

void LibraryBrowser::removeEverythingBelow(const QString &folder)
{
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        removeEntry(folder + QLatin1Char('/') + name);
}
