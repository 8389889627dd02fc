#include "screens/CatalogueMenu.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/SettingsEvents.h"
#include "decoding/Text.h"
#include "library/LibraryStore.h"
#include "screens/LibraryFollowsDownloads.h"

#include <QCoreApplication>

CatalogueMenu::CatalogueMenu(const QList<Row> &rows, LibraryStore &files, Settings *settings, QObject *parent)
    : QAbstractListModel(parent), m_rows(rows), m_settings(settings), m_counters(rows.size(), 0)
{
    libraryStoresFollowDownloads();
    // The file counters follow the store, shown or not; the list counters wait for the menu to appear.
    connect(&files, &LibraryStore::totalsChanged, this,
            [this] { refresh([this](int row) { return m_rows.at(row).countsFiles; }); });
    // Switching the file counters off or on shows at once, not at the next visit of the menu.
    connect(&SettingsEvents::shared(), &SettingsEvents::changed, this, [this](const QString &key) {
        if (key == QLatin1String("count_audio") || key == QLatin1String("count_video"))
            refresh([this](int row) { return m_rows.at(row).countsFiles; });
    });
}

int CatalogueMenu::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QString CatalogueMenu::name(int row) const
{
    return data(index(row), NameRole).toString();
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

int CatalogueMenu::mediaFiles(LibraryStore &store)
{
    const std::optional<LibraryStore::Totals> totals = store.totalsBelow(QString());
    return totals ? totals->mediaEntries : -1;
}

int CatalogueMenu::counter(int row) const
{
    return row >= 0 && row < m_counters.size() ? m_counters.at(row) : 0;
}

void CatalogueMenu::viewWillAppear()
{
    refresh([](int) { return true; });
}

template <class Which> void CatalogueMenu::refresh(Which which)
{
    const QList<int> fresh = counters(m_settings ? *m_settings : Settings::shared());
    int first = -1;
    int last = -1;
    for (int i = 0; i < m_counters.size() && i < fresh.size(); ++i) {
        if (!which(i) || fresh.at(i) < 0 || fresh.at(i) == m_counters.at(i))
            continue;
        m_counters[i] = fresh.at(i);
        first = first < 0 ? i : first;
        last = i;
    }
    if (first >= 0)
        Q_EMIT dataChanged(index(first), index(last), {CounterRole});
}

void CatalogueMenu::rowSelected(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const Row &r = m_rows.at(row);
    Q_EMIT openScreen(row, QString::fromLatin1(r.screen), r.titled ? tr(r.name) : QString());
}
