#pragma once

#include "desktop/Portals.h"
#include "screens/LibraryBrowser.h"

// What both export screens do: browse a media folder like the library and hand the chosen file to a program
// the user picks, or to a new e-mail as its attachment.
class MediaExport : public LibraryBrowser
{
    Q_OBJECT
    Q_PROPERTY(QString filePath READ filePath NOTIFY selectionChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY selectionChanged)

public:
    enum AlertTag { ErrorAlert = 1 };
    Q_ENUM(AlertTag)
    // The choices of the sheet, in the order its buttons carry; the cancel button comes after them.
    enum Choice { OpenWith = 0, SendByEmail = 1, Cancel = 2 };
    Q_ENUM(Choice)

    QString filePath() const { return m_filePath; }
    QString fileName() const { return m_fileName; }

    // Remembers the entry; a folder is entered, a file gets the choice sheet.
    Q_INVOKABLE void rowSelected(int row) override;
    Q_INVOKABLE void actionSheetClickedButtonAtIndex(int index);

    // Logs the composer's end as "Result: …" (0 canceled, 1 saved, 2 sent, 3 failed, else not sent).
    void mailComposeControllerDidFinish(int result);
    static QString mailResultLine(int result);

Q_SIGNALS:
    void selectionChanged();
    // Show a sheet without title: one button per choice, then the cancel button.
    void actionSheetRequested(const QStringList &buttons, const QString &cancelButton);
    // A program was started for the file, or the user closed the chooser.
    void openFinished(int result);
    void mailFinished(int result);

protected:
    MediaExport(Media media, Settings *settings, QObject *parent);

private:
    void presentOpenInMenu();
    void presentMailComposer();
    bool fileReadable();

    QString m_filePath;
    QString m_fileName;
};
