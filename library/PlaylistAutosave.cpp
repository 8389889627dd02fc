#include "library/PlaylistAutosave.h"

#include "core/Stores.h"
#include "library/PlaylistFile.h"

#include <QCoreApplication>
#include <QThread>

PlaylistAutosave::PlaylistAutosave(PlaylistStore *playlist, const QString &path, QObject *parent)
    : QObject(parent), m_playlist(playlist), m_path(path), m_writer(PlaylistFile::write),
      // Nothing to save before the playlist changes: the file is whatever the last run left.
      m_fileRevision(playlist->revision())
{}

PlaylistAutosave::~PlaylistAutosave()
{
    if (!m_thread)
        return;
    // Nothing is delivered now: whoever listens may be half destroyed already.
    drain();
    m_thread->quit();
    m_thread->wait();
    delete m_worker; // its thread has ended: deleting it here is safe
    delete m_thread;
}

void PlaylistAutosave::setWriter(Writer writer)
{
    m_writer = writer ? std::move(writer) : Writer(PlaylistFile::write);
}

void PlaylistAutosave::startWorker()
{
    if (m_thread)
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("playlist autosave"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    m_thread->start(QThread::LowPriority);
}

void PlaylistAutosave::restore()
{
    if (m_loading)
        return;
    startWorker();
    m_loading = true;
    const QString path = m_path;
    QMetaObject::invokeMethod(
        m_worker,
        [this, path] {
            PlaylistFile::Loaded loaded = PlaylistFile::load(path);
            // Moved aside here, before any write of this run can reach the worker.
            const QString keptAs = loaded.unreadable() ? PlaylistFile::setAside(path) : QString();
            QMetaObject::invokeMethod(
                this,
                [this, error = loaded.error, entries = std::move(loaded.entries), keptAs]() mutable {
                    takeRestored(error, std::move(entries), keptAs);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PlaylistAutosave::takeRestored(PropertyList::Error error, QList<PlaylistEntry> entries,
                                    const QString &keptAs)
{
    if (!m_loading)
        return;
    m_loading = false;
    if (error != PropertyList::Error::None && error != PropertyList::Error::Missing) {
        m_held = keptAs.isEmpty();
        Q_EMIT restored(error, 0, keptAs);
        return;
    }
    const int count = int(entries.size());
    if (count > 0) {
        for (PlaylistEntry &entry : entries)
            entry.current = false; // a restored playlist has no current track
        if (m_fileRevisionKnown && m_playlist->revision() == m_fileRevision) {
            m_playlist->assignEntries(std::move(entries));
            m_fileRevision = m_playlist->revision(); // just what the file holds
        } else {
            // Entries added while the file was read stay, after the restored ones; the file is then behind.
            entries.append(m_playlist->records());
            m_playlist->assignEntries(std::move(entries));
        }
    }
    Q_EMIT restored(PropertyList::Error::None, count, QString());
}

bool PlaylistAutosave::save()
{
    if (m_held)
        return false;
    const quint64 revision = m_playlist->revision();
    if (m_fileRevisionKnown && revision == m_fileRevision)
        return false;
    m_fileRevision = revision;
    m_fileRevisionKnown = true;
    startWorker();
    // A shared copy: no entry is copied unless the playlist changes while the worker writes.
    const QList<PlaylistEntry> entries = m_playlist->records();
    QMetaObject::invokeMethod(
        m_worker,
        [this, writer = m_writer, path = m_path, entries, revision] {
            const PropertyList::WriteResult result = writer(path, entries);
            QMetaObject::invokeMethod(
                this,
                [this, result, revision] {
                    // A file that could not be written is tried again at the next save. One too large stays
                    // as it was until the playlist changes.
                    if (result == PropertyList::WriteResult::Failed && m_fileRevision == revision)
                        m_fileRevisionKnown = false;
                    Q_EMIT saved(result);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

void PlaylistAutosave::drain()
{
    // The worker runs its calls in order: once this empty one has run, every earlier one has.
    if (m_thread)
        QMetaObject::invokeMethod(
            m_worker, [] {}, Qt::BlockingQueuedConnection);
}

void PlaylistAutosave::wait()
{
    if (!m_thread)
        return;
    drain();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void PlaylistAutosave::finish()
{
    wait(); // a restore under way is taken in first: the exit never writes a playlist that misses it
    if (save())
        wait();
}
