#pragma once

#include "itemlistmodel.h"

#include <QTableView>

// A list box whose items are always in alphabetical order, shown through a model so that
// millions of rows scroll smoothly. It offers the list box operations the commands use.
//
// It is a one-column table without headers or grid rather than a QListView: a QListView
// lays out every row again on each change, about 20 ms at a million rows, while a table
// with fixed row heights does it in about one.
class SortedListBox : public QTableView
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

protected:
    // Home and End go to the first and last item, as in a list box.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    ItemListModel m_model;
};
