#pragma once

#include "sorteditemlist.h"

#include <QAbstractListModel>

// A sorted item list as a one-column model for Qt's views. A row is an item; rows appear
// at their sorted places as items are added, and no row is ever removed.
class ItemListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit ItemListModel(const Collation &collation = Collation(), QObject *parent = nullptr)
        : QAbstractListModel(parent), m_items(collation)
    {
    }

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;

    // Adds one item and returns its row.
    qsizetype addItem(QStringView text);
    // Adds a batch of items, sorting and merging it here; not while the base is held.
    void addItems(ItemBatch &&batch);
    // See SortedItemList::holdBase().
    void holdBase(bool held) { m_items.holdBase(held); }
    // Makes merged, the merge of the list's base and addition made elsewhere, the base: the
    // rows of addition are appended first and then moved to their places in one layout
    // change, which keeps selections and the current row on their items. Returns the base
    // that merged replaces.
    std::shared_ptr<const ItemRun> replaceBase(std::shared_ptr<const ItemRun> merged,
                                               std::shared_ptr<const ItemRun> addition);
    // Makes base the base again, dropping items merged since; a reset of the model. Returns
    // the base it replaces.
    std::shared_ptr<const ItemRun> resetBase(std::shared_ptr<const ItemRun> base);

    [[nodiscard]] const SortedItemList &items() const { return m_items; }

private:
    SortedItemList m_items;
};
