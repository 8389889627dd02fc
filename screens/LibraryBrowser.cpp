#include "screens/LibraryBrowser.h"

#include "core/GlobalData.h"
#include "core/Pacing.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "decoding/Text.h"
#include "library/LibraryScan.h"
#include "library/LibraryStore.h"
#include "library/TagCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QTimer>

namespace {

QPointer<TagCache> sharedTags;

} // namespace

void LibraryBrowser::setTagCache(TagCache *cache)
{
    sharedTags = cache;
}

TagCache *LibraryBrowser::tagCache() const
{
    return sharedTags.data();
}

LibraryBrowser::LibraryBrowser(Media media, Screen screen, Settings *settings, QObject *parent)
    : QObject(parent), m_media(media), m_screen(screen), m_settings(settings),
      m_entries(new LibraryEntries(this)), m_libraryEntries(new LibraryEntries(this)),
      m_filter(new LibraryFilter(this))
{
    m_filter->setSourceModel(m_entries);
    // The sums below the folder shown change as walks end and as files land elsewhere below it; so does the
    // list of every file.
    connect(&store(), &LibraryStore::totalsChanged, this, [this] {
        if (m_listedOnce)
            updateTitle();
        if (m_wholeLibrary)
            fillWholeLibrary();
    });
    if (TagCache *tags = tagCache()) {
        connect(tags, &TagCache::tagsReady, this, &LibraryBrowser::tagsArrived);
        connect(tags, &TagCache::coverReady, this, &LibraryBrowser::tagsArrived);
    }
}

void LibraryBrowser::fillTags(LibraryEntries::Row &row) const
{
    TagCache *tags = tagCache();
    if (!tags || row.folder)
        return;
    const QString path = mediaDir() + QLatin1Char('/') + row.path;
    if (const std::optional<TrackTags> known = tags->tags(path)) {
        row.title = known->title;
        row.artist = known->artist;
        row.album = known->album;
        row.durationMs = known->durationMs;
        if (known->hasCover)
            row.cover = tags->coverPath(path);
    }
}

void LibraryBrowser::tagsArrived(const QString &key)
{
    const QString root = TagCache::key(mediaDir()) + QLatin1Char('/');
    if (!key.startsWith(root))
        return;
    const QString path = key.mid(root.size());
    const auto update = [&](LibraryEntries *entries, const QHash<QString, int> &index) {
        const auto it = index.constFind(path);
        if (it == index.cend() || *it >= entries->rows().size())
            return;
        LibraryEntries::Row row = entries->rows().at(*it);
        fillTags(row);
        entries->replaceRow(*it, row);
    };
    update(m_entries, m_folderRows);
    update(m_libraryEntries, m_libraryRows);
}

void LibraryBrowser::indexRows(const LibraryEntries *entries, QHash<QString, int> &index)
{
    index.clear();
    index.reserve(entries->rows().size());
    for (int i = 0; i < entries->rows().size(); ++i)
        index.insert(entries->rows().at(i).path, i);
}

void LibraryBrowser::refreshMarks()
{
    for (LibraryEntries *entries : {m_entries, m_libraryEntries}) {
        for (int i = 0; i < entries->rows().size(); ++i) {
            LibraryEntries::Row row = entries->rows().at(i);
            row.inPlaylist = !row.folder && isMarked(row.path);
            entries->replaceRow(i, row);
        }
    }
}

void LibraryBrowser::setWholeLibrary(bool whole)
{
    if (whole == m_wholeLibrary)
        return;
    m_wholeLibrary = whole;
    if (whole)
        fillWholeLibrary();
    m_filter->setSourceModel(whole ? m_libraryEntries : m_entries);
    Q_EMIT wholeLibraryChanged();
}

void LibraryBrowser::fillWholeLibrary()
{
    // The store knows every folder's files once it has walked them; until then the list stays as it was and
    // totalsChanged brings the rest. Nothing here reads the disk.
    const std::optional<QStringList> files = store().filesBelow(QString());
    if (!files)
        return;
    const QString fileIcon =
        m_media == AudioMedia ? QStringLiteral("icon_audio.png") : QStringLiteral("icon_video.png");
    const QString deleteFile = tr("Удалить файл");
    const bool accessory = rowsHaveAccessory();
    QList<LibraryEntries::Row> rows;
    rows.reserve(files->size());
    for (const QString &path : *files) {
        LibraryEntries::Row row;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        row.name = path.mid(slash + 1);
        row.path = path;
        // The folder it is in stands where a folder's rows show the size.
        row.detail = slash < 0 ? QString() : path.left(slash);
        row.icon = fileIcon;
        row.accessory = accessory;
        row.deleteTitle = deleteFile;
        row.inPlaylist = isMarked(path);
        fillTags(row);
        rows.append(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const LibraryEntries::Row &a, const LibraryEntries::Row &b) {
        return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    if (rows == m_libraryEntries->rows())
        return;
    m_libraryEntries->setRows(std::move(rows));
    indexRows(m_libraryEntries, m_libraryRows);
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
        row.path = relativePath(entry.name);
        if (entry.folder) {
            row.icon = folderIcon;
            row.deleteTitle = deleteFolder;
        } else {
            row.icon = fileIcon;
            row.detail = detail.arg(double(megabytes(entry.bytes)), 0, 'f', 2);
            row.accessory = accessory;
            row.deleteTitle = deleteFile;
            row.inPlaylist = isMarked(row.path);
            fillTags(row);
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
    indexRows(m_entries, m_folderRows);
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

void LibraryBrowser::activatePath(const QString &path)
{
    const auto it = m_folderRows.constFind(path);
    if (it != m_folderRows.cend() && list().value(*it) == m_entries->rows().value(*it).name) {
        rowSelected(*it);
        return;
    }
    if (QFileInfo(mediaDir() + QLatin1Char('/') + path).isFile())
        openFile(path);
}

void LibraryBrowser::askToDelete(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    m_toDelete = paths;
    const QString name = paths.constFirst().section(QLatin1Char('/'), -1);
    const QString question =
        paths.size() == 1 ? tr("Удалить «%1»?").arg(name) : tr("Удалить файлы: %1?").arg(paths.size());
    const bool folder =
        paths.size() == 1 && QFileInfo(mediaDir() + QLatin1Char('/') + paths.constFirst()).isDir();
    Q_EMIT alertRequested(folder ? tr("Удалить папку") : tr("Удалить файл"), question,
                          {tr("Отмена"), tr("Удалить")}, DeleteAlert);
}

void LibraryBrowser::deleteAnswered(int index)
{
    const QStringList paths = std::exchange(m_toDelete, {});
    if (index == 1)
        deletePaths(paths);
}

void LibraryBrowser::deletePaths(const QStringList &paths)
{
    QList<QPair<QString, QString>> trashed;
    for (const QString &path : paths) {
        if (path.isEmpty() || path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
            continue; // nothing outside the media folder
        const QFileInfo info(mediaDir() + QLatin1Char('/') + path);
        if (!info.exists() && !info.isSymLink())
            continue;
        const QString inTrash = removeEntry(info.filePath());
        if (!inTrash.isEmpty())
            trashed.append({info.filePath(), inTrash});
        store().pathChanged(info.filePath());
    }
    m_trashed = trashed;
    if (trashed.isEmpty())
        setUndoNotice(QString());
    else
        setUndoNotice(trashed.size() == 1
                          ? tr("«%1» в корзине").arg(QFileInfo(trashed.constFirst().first).fileName())
                          : tr("Файлов в корзине: %1").arg(trashed.size()));
    entriesDeleted();
    reloadLibrary();
}

void LibraryBrowser::undoDelete()
{
    const QList<QPair<QString, QString>> trashed = std::exchange(m_trashed, {});
    setUndoNotice(QString());
    for (const auto &[original, inTrash] : trashed) {
        if (QFileInfo::exists(original) || !QDir().rename(inTrash, original))
            continue; // a new file took the name meanwhile: the trashed one stays in the trash
        // The trash's record of the entry goes with it: .../Trash/files/NAME has
        // .../Trash/info/NAME.trashinfo.
        const QFileInfo moved(inTrash);
        QFile::remove(
            moved.dir().absoluteFilePath(QStringLiteral("../info/%1.trashinfo").arg(moved.fileName())));
        store().pathChanged(original);
    }
    listFolder(Listing::SameList);
}

void LibraryBrowser::setUndoNotice(const QString &text)
{
    if (!m_undoTimer) {
        m_undoTimer = new QTimer(this);
        m_undoTimer->setSingleShot(true);
        connect(m_undoTimer, &QTimer::timeout, this, [this] {
            m_trashed.clear();
            setUndoNotice(QString());
        });
    }
    if (text.isEmpty())
        m_undoTimer->stop();
    else
        m_undoTimer->start(Pacing::milliseconds(undoSeconds));
    if (text == m_undoNotice)
        return;
    m_undoNotice = text;
    Q_EMIT undoNoticeChanged();
}

QString LibraryBrowser::removeEntry(const QString &path)
{
    // A trash that cannot take the entry (none on that file system) leaves the described deletion.
    QString inTrash;
    if (settings().contains(QString::fromLatin1(trashSettingKey)) &&
        settings().boolValue(QString::fromLatin1(trashSettingKey), false) &&
        QFile::moveToTrash(path, &inTrash))
        return inTrash;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
    return {};
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
