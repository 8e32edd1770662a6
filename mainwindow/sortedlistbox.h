#pragma once

#include "itemlistmodel.h"

#include <QListView>

// A list box whose items are always in alphabetical order, shown through a model so that
// millions of rows scroll smoothly. It offers the list box operations the commands use.
class SortedListBox : public QListView
{
    Q_OBJECT

public:
    explicit SortedListBox(QWidget *parent = nullptr);

    // Adds item at its sorted place.
    void AddItem(QStringView item);
    [[nodiscard]] qsizetype ListCount() const { return m_model.items().count(); }
    [[nodiscard]] QString List(qsizetype position) const;

    // Adds a whole batch at once, far faster than one AddItem() per item.
    void addItems(ItemBatch &&batch) { m_model.addItems(std::move(batch)); }
    [[nodiscard]] const SortedItemList &items() const { return m_model.items(); }
    [[nodiscard]] ItemListModel &model() { return m_model; }

private:
    ItemListModel m_model;
};
