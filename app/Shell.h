#pragma once

#include "screens/Queue.h"

class ColorScheme;
class DesktopNotifier;
class DownloadsFinished;
class NowPlaying;
class TagCache;
class TrackNotice;

#include <QObject>
#include <QString>

// The window's shell: what the tab bar and the title show.
class Shell : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int queueBadge READ queueBadge NOTIFY queueBadgeChanged)
    Q_PROPERTY(QString windowTitle READ windowTitle NOTIFY queueBadgeChanged)
    Q_PROPERTY(QString sandboxHint READ sandboxHint CONSTANT)
    Q_PROPERTY(Queue *queue READ queue CONSTANT)
    Q_PROPERTY(bool quitConfirmed READ quitConfirmed NOTIFY quitConfirmedChanged)

public:
    enum AlertTag { QuitAlert = 1 };
    Q_ENUM(AlertTag)

    explicit Shell(QObject *parent = nullptr);
    ~Shell() override;

    // The badge of the queue tab (index 3), following Badges; 0 hides it.
    int queueBadge() const;
    QString windowTitle() const;

    // The download queue screen over the program's queue: one per run, so its timer outlives the view.
    Queue *queue() const { return m_queue; }

    // Shown on the login screen when the program runs against the local stand-in.
    QString sandboxHint() const { return m_sandboxHint; }
    void setSandboxHint(const QString &hint) { m_sandboxHint = hint; }

    // The desktop's light or dark preference; start() it once the application object exists.
    ColorScheme *colorScheme() const { return m_colorScheme; }
    // The program's one tag and cover cache, for every view and service that shows a track.
    TagCache *tagCache() const { return m_tagCache; }
    NowPlaying *nowPlaying() const { return m_nowPlaying; }
    DesktopNotifier *notifier() const { return m_notifier; }

    // Whether a transfer of the queue has started and not ended: quitting would break it off.
    static bool downloadsRunning() { return DownloadQueue::shared().transfersRunning(); }

    // Asked before the window closes: true when it may close now. While downloads run the answer is false and
    // the question "Загрузки ещё идут. Выйти?" goes out through alertRequested; its answer comes back through
    // alertAnswered, and "Выйти" confirms (quitRequested follows).
    Q_INVOKABLE bool requestQuit();
    Q_INVOKABLE void alertAnswered(int tag, int index);
    bool quitConfirmed() const { return m_quitConfirmed; }

Q_SIGNALS:
    void queueBadgeChanged();
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    void quitConfirmedChanged();
    // The user chose to quit (or nothing stood in the way): the program ends.
    void quitRequested();

private:
    QString m_sandboxHint;
    Queue *m_queue = nullptr;
    ColorScheme *m_colorScheme = nullptr;
    TagCache *m_tagCache = nullptr; // made before whatever is handed it
    NowPlaying *m_nowPlaying = nullptr;
    DesktopNotifier *m_notifier = nullptr;
    TrackNotice *m_trackNotice = nullptr;
    DownloadsFinished *m_downloadsFinished = nullptr;
    bool m_quitConfirmed = false;
};
