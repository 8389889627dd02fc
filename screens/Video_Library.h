#pragma once

#include "screens/LibraryBrowser.h"

// The video library screen: browses the video folder, hands a file to the video player, deletes entries.
class Video_Library : public LibraryBrowser
{
    Q_OBJECT

public:
    enum AlertTag { ClearAlert = 2 };
    Q_ENUM(AlertTag)

    explicit Video_Library(QObject *parent = nullptr) : Video_Library(nullptr, parent) {}
    // `settings` replaces the program's store (tests).
    explicit Video_Library(Settings *settings, QObject *parent = nullptr);

    // Folder: enter it. File: ask the view to present the video player for it.
    Q_INVOKABLE void rowSelected(int row) override;
    Q_INVOKABLE void deleteRow(int row);
    // Asks before deleting everything in the video folder.
    Q_INVOKABLE void clearMedia();
    Q_INVOKABLE void alertAnswered(int tag, int index);

Q_SIGNALS:
    // Present Video_Player full screen with these properties.
    void videoPlayerRequested(const QString &fileName, const QString &refererType);

protected:
    void openFile(const QString &path) override;
};
