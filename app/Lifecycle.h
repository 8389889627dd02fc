#pragma once

#include "desktop/Portals.h"
#include "library/PlaylistAutosave.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class Settings;

// The program's answers to start-up, moving to the background, exit and files handed over by other programs:
// the idle switch, the launcher badge, the autosaved playlist, the removal of unfinished downloads and the
// import of MP3 and MP4 files into the library's import folders.
class Lifecycle : public QObject
{
    Q_OBJECT

public:
    // The launch steps that belong to other parts of the program, run in their place in the order.
    struct LaunchSteps
    {
        std::function<void()> showWindow;       // step 2: the tab bar shown in the main window
        std::function<void()> audioSession;     // step 5: audio session and route-change listener
        std::function<void()> remoteControl;    // step 6: remote-control reception
        std::function<void()> disableIdleTimer; // step 1 when "auto_sleep" holds; empty: the idle inhibitor
        // Step 4, the autosaved playlist, is read once the window has drawn its first frame, so that a long
        // playlist never holds the window up: this calls its argument then. Empty: the read starts at once.
        std::function<void(std::function<void()>)> afterFirstFrame;
    };

    // `settings` replaces the program's store (tests); it must outlive the object.
    explicit Lifecycle(Settings *settings = nullptr, QObject *parent = nullptr);
    ~Lifecycle() override;

    static QString autosavedPlaylistPath();
    // The import folder inside `mediaDir`.
    static QString importFolder(const QString &mediaDir);
    // The name a received file is stored under: the last component of the URL's text, percent escapes and
    // HTML references decoded, trimmed, and reduced to a plain file name. Empty when nothing usable is left.
    static QString importedFileName(const QUrl &url);

    // Launch finished: returns true. The autosaved playlist arrives later (autosave().restored), read on a
    // worker thread; the player takes it as it would at start.
    bool didFinishLaunching(const LaunchSteps &steps);
    // Saves the current playlist.
    Q_INVOKABLE void applicationDidEnterBackground();
    // Saves the current playlist, deletes unfinished downloads, clears the badge.
    Q_INVOKABLE void applicationWillTerminate();
    // A file handed over by another program: MP3 and MP4 files are copied into an import folder; a playlist
    // (M3U, M3U8, PLS, XSPF) becomes a saved playlist of its entries found in the library, and a notice says
    // how many were imported and how many not found. Always true.
    bool handleOpenURL(const QUrl &url);
    // The notice shown last was closed: the next waiting one, if any, is asked for.
    Q_INVOKABLE void alertAnswered(int tag, int index);

    // Files from the command line or a second start: paths (relative to `workingDirectory`) or URLs. Local
    // files are copied into the Inbox folder first, as the program receives every handed-over file, then
    // opened.
    void openArguments(const QStringList &arguments, const QString &workingDirectory);

    // The window was minimised or hidden (QWindow::Visibility): that is the desktop's "background".
    Q_INVOKABLE void windowVisibilityChanged(int visibility);
    void applicationStateChanged(Qt::ApplicationState state);

    // SIGTERM and SIGINT become terminationRequested on the main thread and then end the event loop, so that
    // exit runs its steps. They end it even where a window would ask first ("downloads still run"): whoever
    // sent the signal (a session ending, kill) expects the process to go, and partial files are kept for
    // resume. One object of the process watches; its destruction gives the signals their default action back.
    void watchTerminationSignals();

    Portals::IdleInhibitor *idleInhibitor() { return &m_idle; }
    PlaylistAutosave &autosave() { return m_autosave; }

    // The tag the notices carry; their answer comes back through alertAnswered.
    static constexpr int noticeTag = 1;

Q_SIGNALS:
    // A notice for the main window. One at a time: each received file has its own, and the next is asked for
    // once the one shown has been closed.
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    void terminationRequested();

private:
    void restoreAutosavedPlaylist();
    void autosavedPlaylistRestored(PropertyList::Error error, int entries, const QString &keptAs);
    void saveAutosavedPlaylist();
    void autosavedPlaylistSaved(PropertyList::WriteResult result);
    void notify(const QString &title, const QString &message);
    void showNextNotice();
    void import(const QUrl &url, const QString &mediaDir, const QString &displayFolder, bool logName);
    void importPlaylist(const QString &path);
    QString copyToInbox(const QString &path);
    Settings &settings() const;

    Settings *m_settings = nullptr;
    Portals::IdleInhibitor m_idle;
    // Notices waiting for the one on show to close: title and message.
    QList<QPair<QString, QString>> m_notices;
    bool m_noticeShown = false;
    PlaylistAutosave m_autosave;
    bool m_tooLargeNoticeShown = false;
};
