#pragma once

#include "core/ListStore.h"

#include <QAbstractListModel>
#include <QPointer>

// A Qt list model that adapts a store: it holds no rows of its own and turns the store's announcements into
// the model's begin…/end… calls, so that a view keeps its place when rows come, go or move, and is reset only
// when the store's list is replaced as a whole. Subclasses give rowCount and data from the store. Main thread
// only, as the store.
class StoreListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit StoreListModel(ListStoreSignals *store, QObject *parent = nullptr);

protected:
    // For subclasses whose rows are the store's rows each with something of the model's own (a highlight,
    // a cached file check) that follows the rows.
    virtual void rowsWillMove(int from, int to)
    {
        Q_UNUSED(from);
        Q_UNUSED(to);
    }

private:
    QPointer<ListStoreSignals> m_store;
};
