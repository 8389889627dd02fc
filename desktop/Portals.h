#pragma once

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Desktop services behind the export screens and the idle switch, through the XDG desktop portals on the
// session bus, falling back to the freedesktop tools when no portal answers:
//   open with another program:  OpenURI.OpenFile (ask = true)      else xdg-open, else QDesktopServices
//   compose an e-mail:          Email.ComposeEmail (attachment_fds) else xdg-email --attach
//   keep the screen awake:      Inhibit.Inhibit (flag 8, idle)      else org.freedesktop.ScreenSaver.Inhibit
//   choose a file to open:      FileChooser.OpenFile                (no fallback: the caller says so)
//   show a file in its folder:  org.freedesktop.FileManager1.ShowItems (a folder: ShowFolders)
//                               else OpenURI.OpenDirectory, else xdg-open on the folder
// Files are handed over as descriptors or paths, never read. Every call is asynchronous; `done` runs on the
// caller's thread, and not at all once `context` has been destroyed.
namespace Portals {

enum class OpenResult { Opened, Cancelled, NoApplication };
// The numbering of the composer's results that the export screens log.
enum class MailResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

struct Email
{
    QString subject;
    QString body;
    QString attachmentPath;
};

void openFile(const QString &path, QObject *context, std::function<void(OpenResult)> done);

enum class ChooseResult { Chosen, Cancelled, Unavailable };
// The files offered: a name and glob patterns ("*.m3u").
struct FileFilter
{
    QString name;
    QStringList globs;
};
// Asks the user for one local file to open; `done` gets Chosen and its path, Cancelled, or Unavailable when
// no file chooser answers.
void chooseFile(const QString &title, const FileFilter &filter, QObject *context,
                std::function<void(ChooseResult, const QString &path)> done);
void composeEmail(const Email &email, QObject *context, std::function<void(MailResult)> done);
// Opens the file manager at the file (or folder) at `path`, the file selected where the file manager can;
// `done` (may be empty) gets whether anything answered.
void showInFolder(const QString &path, QObject *context, std::function<void(bool shown)> done);

// Keeps the session from going idle (dimming, locking, sleeping) while active.
class IdleInhibitor : public QObject
{
    Q_OBJECT
public:
    enum State { Released, Requesting, ThroughPortal, ThroughScreenSaver, Unavailable };
    Q_ENUM(State)

    explicit IdleInhibitor(QObject *parent = nullptr);
    ~IdleInhibitor() override;

    State state() const { return m_state; }
    void inhibit(const QString &reason);
    void release();

Q_SIGNALS:
    void stateChanged(IdleInhibitor::State state);

private:
    void setState(State state);
    void tryScreenSaver(const QString &reason);
    // Ends whatever inhibition is held or on its way, without telling anyone.
    void endInhibition();

    State m_state = Released;
    QDBusObjectPath m_portalHandle;
    uint m_screenSaverCookie = 0;
    // Bumped by release(), so that an answer to an earlier request that arrives late is dropped.
    int m_generation = 0;
};

} // namespace Portals
