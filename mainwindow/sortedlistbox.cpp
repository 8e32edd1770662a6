#include "sortedlistbox.h"

#include <QHeaderView>

SortedListBox::SortedListBox(QWidget *parent) : QTableView(parent)
{
    setModel(&m_model);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    // Every row is one line of text, so rows never need measuring.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    // Tab moves on to the next control, not to the next cell.
    setTabKeyNavigation(false);
}

void SortedListBox::AddItem(QStringView item)
{
    m_model.addItem(item);
}

QString SortedListBox::List(qsizetype position) const
{
    return m_model.items().at(position);
}

QModelIndex SortedListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = m_model.rowCount();
    if (rows > 0 && action == MoveHome)
        return m_model.index(0);
    if (rows > 0 && action == MoveEnd)
        return m_model.index(rows - 1);
    return QTableView::moveCursor(action, modifiers);
}
