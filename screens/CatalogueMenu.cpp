#include "screens/CatalogueMenu.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "decoding/Text.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

CatalogueMenu::CatalogueMenu(const QList<Row> &rows, Settings *settings, QObject *parent)
    : QAbstractListModel(parent), m_rows(rows), m_settings(settings), m_counters(rows.size(), 0)
{}

int CatalogueMenu::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant CatalogueMenu::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case NameRole:
        return tr(row.name);
    case DescriptionRole:
        return tr(row.description);
    case IconRole:
        return QString::fromLatin1(row.icon);
    case CounterRole:
        return m_counters.at(index.row());
    case ScreenRole:
        return QString::fromLatin1(row.screen);
    case TitleRole:
        return row.titled ? tr(row.name) : QString();
    default:
        return {};
    }
}

QHash<int, QByteArray> CatalogueMenu::roleNames() const
{
    return {{NameRole, "name"},       {DescriptionRole, "description"}, {IconRole, "icon"},
            {CounterRole, "counter"}, {ScreenRole, "screen"},           {TitleRole, "title"}};
}

int CatalogueMenu::countFiles(const QString &folder, const QString &extension)
{
    int count = 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().suffix().toLower() == extension)
            ++count;
    }
    return count;
}

int CatalogueMenu::counter(int row) const
{
    return row >= 0 && row < m_counters.size() ? m_counters.at(row) : 0;
}

void CatalogueMenu::viewWillAppear()
{
    const QList<int> fresh = counters(m_settings ? *m_settings : Settings::shared());
    for (int i = 0; i < m_counters.size() && i < fresh.size(); ++i)
        m_counters[i] = std::max(0, fresh.at(i));
    Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1), {CounterRole});
}

void CatalogueMenu::rowSelected(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const Row &r = m_rows.at(row);
    Q_EMIT openScreen(row, QString::fromLatin1(r.screen), r.titled ? tr(r.name) : QString());
}
