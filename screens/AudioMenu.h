#pragma once

#include <QAbstractListModel>
#include <QString>

class Settings;

// The audio tab's menu (`Audio`): nine rows leading to the audio screens, each with the number of records or
// files waiting there. Counters are read anew each time the menu is shown.
class Audio : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { NameRole = Qt::UserRole + 1, DescriptionRole, IconRole, CounterRole, ScreenRole, TitleRole, AvailableRole };
    static constexpr int rowCountTotal = 9;

    explicit Audio(QObject *parent = nullptr);
    // Reads the counting switch from `settings` instead of the program's store (tests).
    explicit Audio(Settings *settings, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Reloads every counter.
    Q_INVOKABLE void viewWillAppear();
    // A row tap: asks the view to open the row's screen.
    Q_INVOKABLE void rowSelected(int row);

    // Counter of a row as shown (0: no counter).
    int counter(int row) const;
    // MP3 entries below `folder`, sub-folders included, the extension compared in lower case.
    static int countFiles(const QString &folder, const QString &extension);

Q_SIGNALS:
    // `screen` is the screen's class name; `title` is empty where the screen keeps its own.
    void openScreen(int row, const QString &screen, const QString &title);

private:
    Settings *m_settings = nullptr;
    int m_counters[rowCountTotal] = {};
};
