#include "sortedlistbox.h"

#include <QAccessible>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

SortedListBox::SortedListBox(ItemListModel &model, QWidget *parent)
    : QAbstractItemView(parent), m_model(model), m_rowHeight(fontMetrics().height() + 2)
{
    setModel(&m_model);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves on to the next control.
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

int SortedListBox::firstShownRow() const
{
    return verticalScrollBar()->value();
}

int SortedListBox::wholeRowsShown() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

int SortedListBox::verticalOffset() const
{
    return int(
        std::min<qint64>(qint64(firstShownRow()) * rowHeight(), std::numeric_limits<int>::max()));
}

QRect SortedListBox::visualRect(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    const qint64 top = (qint64(index.row()) - firstShownRow()) * rowHeight();
    const qint64 limit = std::numeric_limits<int>::max() / 2;
    return {0, int(std::clamp(top, -limit, limit)), viewport()->width(), rowHeight()};
}

void SortedListBox::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int row = index.row();
    const int shown = wholeRowsShown();
    QScrollBar *bar = verticalScrollBar();
    switch (hint) {
    case EnsureVisible:
        if (row < firstShownRow())
            bar->setValue(row);
        else if (row >= firstShownRow() + shown)
            bar->setValue(row - shown + 1);
        break;
    case PositionAtTop:
        bar->setValue(row);
        break;
    case PositionAtBottom:
        bar->setValue(row - shown + 1);
        break;
    case PositionAtCenter:
        bar->setValue(row - shown / 2);
        break;
    }
}

QModelIndex SortedListBox::indexAt(const QPoint &point) const
{
    if (point.y() < 0)
        return {};
    const qint64 row = firstShownRow() + qint64(point.y() / rowHeight());
    return row < m_model.rowCount() ? m_model.index(int(row)) : QModelIndex();
}

QModelIndex SortedListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int rows = m_model.rowCount();
    if (rows == 0)
        return {};
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    qint64 row = current;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        row = current - 1;
        break;
    case MoveDown:
    case MoveNext:
        row = current + 1;
        break;
    case MovePageUp:
        row = qint64(current) - wholeRowsShown();
        break;
    case MovePageDown:
        row = qint64(current) + wholeRowsShown();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break;
    }
    return m_model.index(int(std::clamp<qint64>(row, 0, rows - 1)));
}

void SortedListBox::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const QRect rows = rect.normalized();
    QModelIndex first = indexAt(QPoint(0, std::max(0, rows.top())));
    QModelIndex last = indexAt(QPoint(0, rows.bottom()));
    if (!last.isValid() && m_model.rowCount() > 0)
        last = m_model.index(m_model.rowCount() - 1);
    if (!first.isValid())
        first = last;
    if (!first.isValid()) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    selectionModel()->select(QItemSelection(first, last), command);
}

QRegion SortedListBox::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const int first = firstShownRow();
    const int last = first + wholeRowsShown();
    for (const QItemSelectionRange &range : selection) {
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top <= bottom)
            region += visualRect(m_model.index(top)).united(visualRect(m_model.index(bottom)));
    }
    return region;
}

void SortedListBox::updateGeometries()
{
    QScrollBar *bar = verticalScrollBar();
    const int shown = wholeRowsShown();
    bar->setRange(0, std::max(0, m_model.rowCount() - shown));
    bar->setPageStep(shown);
    bar->setSingleStep(1);
    QAbstractItemView::updateGeometries();
}

void SortedListBox::scrollContentsBy(int, int)
{
    viewport()->update();
}

void SortedListBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int rows = m_model.rowCount();
    const int first = std::max(0, firstShownRow() + event->rect().top() / rowHeight());
    const int last =
        std::min<qint64>(rows - 1, firstShownRow() + event->rect().bottom() / rowHeight());
    const QModelIndex current = currentIndex();
    // A row shows no more characters than the narrowest could fill it with: the style lays
    // out the whole text it is given, so that a long item would take time in its length,
    // however little of it fits.
    const int fitting =
        viewport()->width() / std::max(1, fontMetrics().horizontalAdvance(u'i')) + 1;
    option.features |= QStyleOptionViewItem::HasDisplay;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model.index(row);
        option.rect = visualRect(index);
        option.index = index;
        option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        option.text = m_model.data(index, Qt::DisplayRole).toString();
        if (option.text.size() > fitting) {
            const qsizetype cut = fitting - qsizetype(option.text[fitting - 1].isHighSurrogate());
            option.text = option.text.first(cut) + QChar(0x2026);
        }
        style()->drawControl(QStyle::CE_ItemViewItem, &option, &painter, this);
    }
}

void SortedListBox::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
}

void SortedListBox::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    updateGeometries();
    viewport()->update();
}
