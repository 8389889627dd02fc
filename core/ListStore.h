#pragma once

#include <QList>
#include <QObject>

#include <utility>

// The signals of a list store, apart from its record type (moc makes no templates). Every change is announced
// twice: before it is made, so that a Qt model adapting the store can call its begin…() with the list still
// as it was, and after, with the list as it is now. Ranges are inclusive rows.
class ListStoreSignals : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    void aboutToInsert(int first, int last);
    void inserted(int first, int last);
    void aboutToRemove(int first, int last);
    void removed(int first, int last);
    // Row `from` goes to the place before row `to` of the list as it was (Qt's beginMoveRows convention).
    void aboutToMove(int from, int to);
    void moved(int from, int to);
    void changed(int first, int last);
    // The whole list is replaced (a new search, a loaded playlist).
    void aboutToReset();
    void reset();
    void countChanged(int count);
};

// One list of the shared state and its one owner: the records, typed, and every change announced by signal.
//
// Thread rule: written and read on the main thread only. A background operation hands its records over
// through the main thread (ScreenLink), never touches a store itself.
template <class Record> class ListStore : public ListStoreSignals
{
public:
    using ListStoreSignals::ListStoreSignals;

    const QList<Record> &records() const { return m_records; }
    int size() const { return int(m_records.size()); }
    bool isEmpty() const { return m_records.isEmpty(); }
    const Record &at(int row) const { return m_records.at(row); }

    void append(const QList<Record> &records)
    {
        if (records.isEmpty())
            return;
        const int first = size();
        const int last = first + int(records.size()) - 1;
        Q_EMIT aboutToInsert(first, last);
        m_records.append(records);
        rowsInserted(first, last);
        Q_EMIT inserted(first, last);
        Q_EMIT countChanged(size());
    }
    void append(const Record &record) { append(QList<Record>{record}); }

    void insert(int row, const Record &record)
    {
        row = qBound(0, row, size());
        Q_EMIT aboutToInsert(row, row);
        m_records.insert(row, record);
        rowsInserted(row, row);
        Q_EMIT inserted(row, row);
        Q_EMIT countChanged(size());
    }

    void removeAt(int row)
    {
        if (row < 0 || row >= size())
            return;
        Q_EMIT aboutToRemove(row, row);
        m_records.removeAt(row);
        rowsRemoved(row, row);
        Q_EMIT removed(row, row);
        Q_EMIT countChanged(size());
    }

    // Removes the records `matches` picks, one run of neighbours at a time, from the end.
    template <class Predicate> int removeIf(Predicate matches)
    {
        int count = 0;
        for (int last = size() - 1; last >= 0; --last) {
            if (!matches(m_records.at(last)))
                continue;
            int first = last;
            while (first > 0 && matches(m_records.at(first - 1)))
                --first;
            Q_EMIT aboutToRemove(first, last);
            m_records.remove(first, last - first + 1);
            rowsRemoved(first, last);
            Q_EMIT removed(first, last);
            count += last - first + 1;
            last = first;
        }
        if (count > 0)
            Q_EMIT countChanged(size());
        return count;
    }

    void replace(int row, const Record &record)
    {
        if (row < 0 || row >= size())
            return;
        m_records[row] = record;
        rowReplaced(row);
        Q_EMIT changed(row, row);
    }

    // Takes the record at `from` out and puts it at `to` of the shortened list, or at its end when `to` lies
    // past it. Equal rows, or a `from` outside the list, change nothing.
    void move(int from, int to)
    {
        if (from == to || from < 0 || from >= size() || to < 0)
            return;
        const int target = qMin(to, size() - 1);
        if (target == from)
            return;
        // In Qt's terms the row goes before `target` of the list as it was, one further when moving down.
        const int before = target > from ? target + 1 : target;
        Q_EMIT aboutToMove(from, before);
        m_records.move(from, target);
        rowMoved(from, target);
        Q_EMIT moved(from, before);
    }

    // The list as a whole becomes `records`.
    void assign(QList<Record> records)
    {
        if (m_records.isEmpty() && records.isEmpty())
            return;
        Q_EMIT aboutToReset();
        m_records = std::move(records);
        listReplaced();
        Q_EMIT reset();
        Q_EMIT countChanged(size());
    }
    void clear() { assign({}); }

protected:
    // For a store that keeps something of its own about the rows (an index into them): called after each
    // change, before the change is announced, so that observers find it in step.
    virtual void rowsInserted(int first, int last)
    {
        Q_UNUSED(first);
        Q_UNUSED(last);
    }
    virtual void rowsRemoved(int first, int last)
    {
        Q_UNUSED(first);
        Q_UNUSED(last);
    }
    // The record at `from` now stands at `to`.
    virtual void rowMoved(int from, int to)
    {
        Q_UNUSED(from);
        Q_UNUSED(to);
    }
    virtual void rowReplaced(int row) { Q_UNUSED(row); }
    virtual void listReplaced() {}
    QList<Record> &mutableRecords() { return m_records; }

private:
    QList<Record> m_records;
};
