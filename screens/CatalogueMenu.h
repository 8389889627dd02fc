#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

class LibraryStore;
class Settings;

// A tab's menu: rows leading to the tab's screens, each with the number of records or files waiting there.
// Counters are read anew each time the menu is shown. The file counters are the media folder's LibraryStore
// sums, never a walk here: while the store is still walking, a file counter keeps its number, and it follows
// whenever the store's sums change (a walk ended, a download landed, a file was deleted).
class CatalogueMenu : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { NameRole = Qt::UserRole + 1, DescriptionRole, IconRole, CounterRole, ScreenRole, TitleRole };

    struct Row
    {
        const char *name;
        const char *description;
        const char *icon;
        const char *screen;
        bool titled;              // the opened screen takes the row's name as its title
        bool countsFiles = false; // the counter is the number of media files in the library
    };

    // `files` is the store behind the rows that count files.
    CatalogueMenu(const QList<Row> &rows, LibraryStore &files, Settings *settings, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Reloads every counter.
    Q_INVOKABLE void viewWillAppear();
    // A row tap: asks the view to open the row's screen.
    Q_INVOKABLE void rowSelected(int row);

    // Counter of a row as shown (0: no counter).
    int counter(int row) const;
    // Name of a row as shown.
    Q_INVOKABLE QString name(int row) const;

Q_SIGNALS:
    // `screen` is the screen's class name; `title` is empty where the screen keeps its own.
    void openScreen(int row, const QString &screen, const QString &title);

protected:
    // Every row's number; -1 for a number not known yet (the row keeps the one it shows).
    virtual QList<int> counters(Settings &settings) const = 0;
    // The entries below the media folder whose extension is the store's, in any case (folders and links
    // named so too, as the menus always counted them); -1 while the store is walking.
    static int mediaFiles(LibraryStore &store);

private:
    // Takes the numbers of the rows `which` picks; announces those that changed.
    template <class Which> void refresh(Which which);

    QList<Row> m_rows;
    Settings *m_settings = nullptr;
    QList<int> m_counters;
};
