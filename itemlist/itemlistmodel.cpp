#include "itemlistmodel.h"

#include "order/merging.h"

#include <limits>
#include <new>

namespace
{
// Qt's views count rows in int; items past that stay in the list, only unshown.
int shownRows(qsizetype count)
{
    return int(std::min<qsizetype>(count, std::numeric_limits<int>::max()));
}
} // namespace

int ItemListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows(m_items.count());
}

QVariant ItemListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    // A row is one line a few hundred pixels wide: a huge item shows its beginning.
    constexpr qsizetype shownBytes = 4096;
    return m_items.item(index.row()).shown(shownBytes);
}

qsizetype ItemListModel::addItem(QStringView text)
{
    const qsizetype row = m_items.prepareInsert(text);
    // Rows past what an int counts stay unshown: rowCount() stops growing there.
    const bool shown = m_items.count() < std::numeric_limits<int>::max();
    if (shown)
        beginInsertRows({}, int(row), int(row));
    m_items.commitInsert();
    if (shown)
        endInsertRows();
    try {
        m_items.foldAddedWhenMany();
    } catch (const std::bad_alloc &) {
        // Folding saves time later; it can wait for memory.
    }
    return row;
}

void ItemListModel::addItems(ItemBatch &&batch)
{
    if (batch.isEmpty())
        return;
    MergedBatch step = mergeBatch(*m_items.base(), std::move(batch), m_items.collation());
    replaceBase(std::move(step.merged), std::move(step.addition));
}

std::shared_ptr<const ItemRun> ItemListModel::replaceBase(std::shared_ptr<const ItemRun> merged,
                                                          std::shared_ptr<const ItemRun> addition)
{
    const int first = rowCount();
    const int last = shownRows(m_items.count() + qsizetype(addition->entries.size())) - 1;
    if (last >= first)
        beginInsertRows({}, first, last);
    m_items.append(std::move(addition));
    if (last >= first)
        endInsertRows();

    emit layoutAboutToBeChanged({}, VerticalSortHint);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from) {
        const qsizetype row = m_items.positionAfter(*merged, index.row());
        to.append(row < rowCount() ? createIndex(int(row), 0) : QModelIndex());
    }
    std::shared_ptr<const ItemRun> old = m_items.replaceBase(std::move(merged));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, VerticalSortHint);
    return old;
}

std::shared_ptr<const ItemRun> ItemListModel::resetBase(std::shared_ptr<const ItemRun> base)
{
    beginResetModel();
    std::shared_ptr<const ItemRun> old = m_items.replaceBase(std::move(base));
    endResetModel();
    return old;
}
