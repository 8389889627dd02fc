#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The friends-and-groups table, flattened: the sections one after the other, each holding the records that
// begin with its letter (without regard to case), in list order. Its rows are an ordering of the store's list
// made at each reload; the list is only ever replaced as a whole, so a reload that finds it unchanged leaves
// the view where it was.
class FriendsGroupsModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { NameRole = Qt::UserRole + 1, DescriptionRole, PictureRole, NumberRole, SectionRole };

    struct Row
    {
        QString record;
        int section = 0;
    };

    explicit FriendsGroupsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Section letters of `records`: the distinct capitalised first characters in order of first occurrence.
    static QStringList alphabetOf(const QStringList &records);
    // Rebuilds the rows for `records` under the sections `alphabet`.
    void reload(const QStringList &records, const QStringList &alphabet);

    const QList<Row> &rows() const { return m_rows; }
    QString record(int row) const;
    // The first row of `section`; -1 when the section has none.
    int firstRowOfSection(int section) const;
    int rowsInSection(int section) const;

    // The three parts of a record. Read from the end: a name may hold a line break of its own (a decoded
    // "&#10;"), a number or an address never does.
    static QString name(const QString &record);
    static QString number(const QString &record);
    static QString picture(const QString &record);

private:
    QList<Row> m_rows;
    QStringList m_alphabet;
    QStringList m_records; // the list the rows were made from (implicitly shared with the store's)
};
