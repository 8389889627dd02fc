#include "screens/StoreListModel.h"

StoreListModel::StoreListModel(ListStoreSignals *store, QObject *parent)
    : QAbstractListModel(parent), m_store(store)
{
    const QModelIndex root;
    connect(store, &ListStoreSignals::aboutToInsert, this,
            [this, root](int first, int last) { beginInsertRows(root, first, last); });
    connect(store, &ListStoreSignals::inserted, this, [this] { endInsertRows(); });
    connect(store, &ListStoreSignals::aboutToRemove, this,
            [this, root](int first, int last) { beginRemoveRows(root, first, last); });
    connect(store, &ListStoreSignals::removed, this, [this] { endRemoveRows(); });
    connect(store, &ListStoreSignals::aboutToMove, this, [this, root](int from, int to) {
        rowsWillMove(from, to);
        beginMoveRows(root, from, from, root, to);
    });
    connect(store, &ListStoreSignals::moved, this, [this] { endMoveRows(); });
    connect(store, &ListStoreSignals::changed, this,
            [this](int first, int last) { Q_EMIT dataChanged(index(first), index(last)); });
    connect(store, &ListStoreSignals::aboutToReset, this, [this] { beginResetModel(); });
    connect(store, &ListStoreSignals::reset, this, [this] { endResetModel(); });
}
