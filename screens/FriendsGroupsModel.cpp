#include "screens/FriendsGroupsModel.h"

FriendsGroupsModel::FriendsGroupsModel(QObject *parent) : QAbstractListModel(parent) {}

int FriendsGroupsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QString FriendsGroupsModel::name(const QString &record)
{
    return record.section(QLatin1Char('\n'), 0, -3);
}

QString FriendsGroupsModel::number(const QString &record)
{
    return record.section(QLatin1Char('\n'), -2, -2);
}

QString FriendsGroupsModel::picture(const QString &record)
{
    return record.section(QLatin1Char('\n'), -1, -1);
}

QVariant FriendsGroupsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case NameRole:
        return name(row.record);
    case DescriptionRole:
        return QStringLiteral("id") + number(row.record);
    case PictureRole:
        return picture(row.record);
    case NumberRole:
        return number(row.record);
    case SectionRole:
        return m_alphabet.value(row.section);
    default:
        return {};
    }
}

QHash<int, QByteArray> FriendsGroupsModel::roleNames() const
{
    return {{NameRole, "name"},
            {DescriptionRole, "description"},
            {PictureRole, "picture"},
            {NumberRole, "number"},
            {SectionRole, "section"}};
}

QStringList FriendsGroupsModel::alphabetOf(const QStringList &records)
{
    QStringList alphabet;
    for (const QString &record : records) {
        if (record.isEmpty())
            continue;
        // A whole character, so that a name starting outside the basic plane keeps its letter intact.
        const char32_t first =
            record.at(0).isHighSurrogate() && record.size() > 1 && record.at(1).isLowSurrogate()
                ? QChar::surrogateToUcs4(record.at(0), record.at(1))
                : record.at(0).unicode();
        const char32_t capital = QChar::toTitleCase(first);
        const QString letter = QString::fromUcs4(&capital, 1);
        if (!alphabet.contains(letter))
            alphabet.append(letter);
    }
    return alphabet;
}

void FriendsGroupsModel::reload(const QStringList &records, const QStringList &alphabet)
{
    // The same list shown again: the view keeps its place.
    if (alphabet == m_alphabet && records == m_records)
        return;
    m_records = records;
    beginResetModel();
    m_alphabet = alphabet;
    m_rows.clear();
    for (int section = 0; section < alphabet.size(); ++section) {
        for (const QString &record : records) {
            if (record.startsWith(alphabet.at(section), Qt::CaseInsensitive))
                m_rows.append({record, section});
        }
    }
    endResetModel();
}

QString FriendsGroupsModel::record(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).record : QString();
}

int FriendsGroupsModel::firstRowOfSection(int section) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).section == section)
            return i;
    }
    return -1;
}

int FriendsGroupsModel::rowsInSection(int section) const
{
    int count = 0;
    for (const Row &row : m_rows)
        count += row.section == section ? 1 : 0;
    return count;
}
