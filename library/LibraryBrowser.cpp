#include "library/LibraryBrowser.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "decoding/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

LibraryBrowser::LibraryBrowser(Media media, Screen screen, Settings *settings, QObject *parent)
    : QObject(parent), m_media(media), m_screen(screen), m_settings(settings),
      m_entries(new LibraryEntries(this))
{}

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

qint64 LibraryBrowser::mediaBytesBelow(const QString &folder, const QString &extension)
{
    qint64 total = 0;
    // Links are not followed: a link back up the tree would otherwise be counted without end.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (pathExtension(info.fileName()).toLower() == extension)
            total += std::max<qint64>(0, info.size());
    }
    return total;
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
    const QString folder = currentFolder();
    // Sorted by name: ext4 and most Linux file systems hand entries back in hash order, which reads as
    // random.
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);

    QStringList &shown = list();
    shown.clear();
    const QString extension = mediaExtension();
    QList<bool> folders;
    folders.reserve(names.size());
    for (const QString &name : names)
        folders.append(QFileInfo(folder + QLatin1Char('/') + name).isDir());
    // A folder named like a media file ("Album.mp3") is listed once, among the folders.
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!folders.at(i) && pathExtension(names.at(i)).toLower() == extension)
            shown.append(names.at(i));
    }
    // Folders go in front, keeping their order; a folder whose name has a dot is listed here all the same.
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        if (folders.at(i))
            shown.prepend(names.at(i));
    }

    updateTitle();
    QList<LibraryEntries::Row> rows;
    rows.reserve(shown.size());
    for (const QString &name : std::as_const(shown))
        rows.append(rowFor(name));
    if (how == Listing::SameList) {
        m_entries->updateRows(std::move(rows));
    } else {
        m_entries->setRows(std::move(rows));
        if (scrollsToTopAfterListing() && !shown.isEmpty())
            Q_EMIT scrollToRow(0, Top, false);
    }
    Q_EMIT listed();
}

void LibraryBrowser::updateTitle()
{
    const bool counting = settings().boolValue(
        m_media == AudioMedia ? QStringLiteral("count_audio") : QStringLiteral("count_video"), true);
    QString title;
    if (counting) {
        const float size = megabytes(mediaBytesBelow(currentFolder(), mediaExtension()));
        title =
            (m_pathToDir.isEmpty() ? tr("Всего: %1 Мб") : tr("Папка: %1 Мб")).arg(double(size), 0, 'f', 1);
    } else if (m_pathToDir.isEmpty()) {
        title = m_screen == ExportScreen ? tr("Экспорт") : tr("Медиатека");
    } else {
        title = QStringLiteral("..\\%1").arg(m_pathToDir.constLast());
    }
    m_title = title;
    Q_EMIT titleChanged();
}

LibraryEntries::Row LibraryBrowser::rowFor(const QString &name) const
{
    LibraryEntries::Row row;
    row.name = name;
    row.folder = isFolder(name);
    if (row.folder) {
        row.icon = QStringLiteral("icon_folder.png");
        row.deleteTitle = tr("Удалить папку");
        return row;
    }
    row.icon = m_media == AudioMedia ? QStringLiteral("icon_audio.png") : QStringLiteral("icon_video.png");
    const QFileInfo info(fullPath(name));
    const qint64 bytes = info.exists() ? info.size() : 0;
    row.detail = tr("Размер: %1 Мб").arg(double(megabytes(bytes)), 0, 'f', 2);
    row.accessory = rowsHaveAccessory();
    row.deleteTitle = tr("Удалить файл");
    return row;
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
