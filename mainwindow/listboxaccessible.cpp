#include "listboxaccessible.h"

#include "sortedlistbox.h"

#include <QItemSelectionModel>
#include <QWindow>

namespace
{
// One item of the list, named by its text.
class ListItemAccessible : public QAccessibleInterface
{
public:
    ListItemAccessible(SortedListBox *listBox, const QModelIndex &index)
        : m_listBox(listBox), m_index(index)
    {
    }

    [[nodiscard]] bool isValid() const override { return m_listBox && m_index.isValid(); }
    [[nodiscard]] QObject *object() const override { return nullptr; }
    [[nodiscard]] QWindow *window() const override
    {
        return m_listBox ? m_listBox->window()->windowHandle() : nullptr;
    }
    [[nodiscard]] QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_listBox);
    }
    [[nodiscard]] QAccessibleInterface *child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    [[nodiscard]] QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    [[nodiscard]] QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && isValid() ? m_index.data().toString() : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    [[nodiscard]] QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_listBox->visualRect(m_index);
        return {m_listBox->viewport()->mapToGlobal(local.topLeft()), local.size()};
    }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::ListItem; }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.selectable = true;
        state.focusable = true;
        state.selected = m_listBox->selectionModel()->isSelected(m_index);
        state.focused = m_listBox->hasFocus() && m_listBox->currentIndex() == m_index;
        const QRect shown = m_listBox->viewport()->rect();
        state.invisible = !m_listBox->isVisible();
        state.offscreen = !shown.intersects(m_listBox->visualRect(m_index));
        return state;
    }

private:
    QPointer<SortedListBox> m_listBox;
    QPersistentModelIndex m_index;
};

constexpr size_t childrenKept = 256;

QAccessibleInterface *listBoxFactory(const QString &className, QObject *object)
{
    if (className == QLatin1StringView("SortedListBox") && object && object->isWidgetType())
        return new ListBoxAccessible(static_cast<SortedListBox *>(object));
    return nullptr;
}
} // namespace

void installListBoxAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(listBoxFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

ListBoxAccessible::ListBoxAccessible(SortedListBox *listBox)
    : QAccessibleWidget(listBox, QAccessible::List)
{
}

ListBoxAccessible::~ListBoxAccessible()
{
    for (const Child &child : m_children)
        QAccessible::deleteAccessibleInterface(child.id);
}

SortedListBox *ListBoxAccessible::listBox() const
{
    return static_cast<SortedListBox *>(widget());
}

int ListBoxAccessible::childCount() const
{
    return listBox()->listModel().rowCount();
}

QAccessibleInterface *ListBoxAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    for (const Child &child : m_children) {
        if (child.index.row() == index)
            return QAccessible::accessibleInterface(child.id);
    }
    if (m_children.size() >= childrenKept) {
        QAccessible::deleteAccessibleInterface(m_children.front().id);
        m_children.erase(m_children.begin());
    }
    const QModelIndex modelIndex = listBox()->listModel().index(index);
    auto *item = new ListItemAccessible(listBox(), modelIndex);
    m_children.push_back({modelIndex, QAccessible::registerAccessibleInterface(item)});
    return item;
}

int ListBoxAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    for (const Child &known : m_children) {
        if (QAccessible::accessibleInterface(known.id) == child)
            return known.index.row();
    }
    return -1;
}

QAccessibleInterface *ListBoxAccessible::childAt(int x, int y) const
{
    const QPoint local = listBox()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = listBox()->indexAt(local);
    return index.isValid() ? child(index.row()) : nullptr;
}

QAccessibleInterface *ListBoxAccessible::focusChild() const
{
    const QModelIndex current = listBox()->currentIndex();
    return current.isValid() ? child(current.row()) : nullptr;
}
