#include "itemlistmodel.h"

#include <limits>

int ItemListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    // Qt's views count rows in int; items past that stay in the list, only unshown.
    return int(std::min<qsizetype>(m_items.count(), std::numeric_limits<int>::max()));
}

QVariant ItemListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return {};
    return m_items.at(index.row());
}

qsizetype ItemListModel::addItem(QStringView text)
{
    const qsizetype row = m_items.insertionPoint(text);
    const bool shown = row < std::numeric_limits<int>::max();
    if (shown)
        beginInsertRows({}, int(row), int(row));
    m_items.insert(text);
    if (shown)
        endInsertRows();
    return row;
}

void ItemListModel::addItems(ItemBatch &&batch)
{
    if (batch.isEmpty())
        return;
    const int first = rowCount();
    const int last =
        int(std::min<qsizetype>(qsizetype(first) + batch.size(), std::numeric_limits<int>::max())) -
        1;
    if (last >= first)
        beginInsertRows({}, first, last);
    m_items.append(std::move(batch));
    if (last >= first)
        endInsertRows();
    if (!m_items.hasUnmergedItems())
        return;

    emit layoutAboutToBeChanged({}, VerticalSortHint);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from) {
        const qsizetype row = m_items.mergedPosition(index.row());
        to.append(row < rowCount() ? createIndex(int(row), 0) : QModelIndex());
    }
    m_items.mergeAppended();
    changePersistentIndexList(from, to);
    emit layoutChanged({}, VerticalSortHint);
}
