#pragma once

#include "itemlistmodel.h"

#include <QAbstractItemView>

// A list box that shows a sorted item list, whose items are always in alphabetical order,
// through its model, so that millions of rows scroll smoothly. It offers the list box
// operations the commands use; the list belongs to the window.
//
// Every row is one line of text of the same height, so the view works out what to show from
// the scroll position alone: no change to the list, however large, costs it more than the
// rows on screen. Qt's own views keep something per row (QListView its layout, QTableView
// its header sections), which at ten million rows costs too much time or memory.
class SortedListBox : public QAbstractItemView
{
    Q_OBJECT

public:
    // Shows model, which outlives the box.
    explicit SortedListBox(ItemListModel &model, QWidget *parent = nullptr);

    // Adds item at its sorted place.
    void AddItem(QStringView item);
    [[nodiscard]] qsizetype ListCount() const { return m_model.items().count(); }
    [[nodiscard]] QString List(qsizetype position) const;

    [[nodiscard]] const SortedItemList &items() const { return m_model.items(); }
    // The model shown, as its own type; model() gives it as Qt's.
    [[nodiscard]] const ItemListModel &listModel() const { return m_model; }

    [[nodiscard]] QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    [[nodiscard]] QModelIndex indexAt(const QPoint &point) const override;

protected:
    // Home and End go to the first and last item, Page Up and Down a screen's worth.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    [[nodiscard]] int horizontalOffset() const override { return 0; }
    [[nodiscard]] int verticalOffset() const override;
    [[nodiscard]] bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    // QAbstractItemView leaves updating the scroll range and the rows shown to its views.
    void rowsInserted(const QModelIndex &parent, int start, int end) override;

private:
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }
    [[nodiscard]] int firstShownRow() const;
    // Rows that fit on the viewport whole.
    [[nodiscard]] int wholeRowsShown() const;

    ItemListModel &m_model;
    int m_rowHeight;
};
