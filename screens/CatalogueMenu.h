#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

class Settings;

// A tab's menu: rows leading to the tab's screens, each with the number of records or files waiting there.
// Counters are read anew each time the menu is shown.
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
        bool titled; // the opened screen takes the row's name as its title
    };

    CatalogueMenu(const QList<Row> &rows, Settings *settings, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Reloads every counter.
    Q_INVOKABLE void viewWillAppear();
    // A row tap: asks the view to open the row's screen.
    Q_INVOKABLE void rowSelected(int row);

    // Counter of a row as shown (0: no counter).
    int counter(int row) const;
    // Entries below `folder`, sub-folders included, whose extension in lower case is `extension`.
    static int countFiles(const QString &folder, const QString &extension);

Q_SIGNALS:
    // `screen` is the screen's class name; `title` is empty where the screen keeps its own.
    void openScreen(int row, const QString &screen, const QString &title);

protected:
    virtual QList<int> counters(Settings &settings) const = 0;

private:
    QList<Row> m_rows;
    Settings *m_settings = nullptr;
    QList<int> m_counters;
};
