#pragma once

#include <QAccessibleWidget>
#include <QPersistentModelIndex>
#include <QPointer>

#include <vector>

class SortedListBox;

// What assistive technology is told about a SortedListBox: a list whose children are list
// items named by their text, as a list box is, rather than the table of cells and header
// cells that Qt tells of a view it does not know.
class ListBoxAccessible : public QAccessibleWidget
{
public:
    explicit ListBoxAccessible(SortedListBox *listBox);
    ~ListBoxAccessible() override;

    [[nodiscard]] int childCount() const override;
    [[nodiscard]] QAccessibleInterface *child(int index) const override;
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override;
    [[nodiscard]] QAccessibleInterface *childAt(int x, int y) const override;
    // The current item.
    [[nodiscard]] QAccessibleInterface *focusChild() const override;

private:
    [[nodiscard]] SortedListBox *listBox() const;

    // Interfaces handed out for items, which follow their items as the list grows; a few
    // hundred at most are kept.
    struct Child {
        QPersistentModelIndex index;
        QAccessible::Id id;
    };
    mutable std::vector<Child> m_children;
};

// Makes Qt ask ListBoxAccessible about every SortedListBox; once is enough.
void installListBoxAccessibility();
