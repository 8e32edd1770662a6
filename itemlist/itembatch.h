#pragma once

#include "arena.h"
#include "item.h"

#include <vector>

class Collation;

// Items gathered in reading order, waiting to be added to a list in one step.
class ItemBatch
{
public:
    void append(QStringView text)
    {
        m_items.push_back({0, Item::create(m_arena, text)}); // keyed when sorted
        m_sorted = false;
    }
    // Puts the items into list order. A list sorts a batch itself when it is added; sorting
    // first lets that work run on another thread.
    void sort(const Collation &collation);

    [[nodiscard]] qsizetype size() const { return qsizetype(m_items.size()); }
    [[nodiscard]] bool isEmpty() const { return m_items.empty(); }
    [[nodiscard]] QStringView at(qsizetype index) const { return m_items[index].item->text(); }

private:
    friend class SortedItemList;

    Arena m_arena;
    std::vector<ItemEntry> m_items;
    bool m_sorted = true;
};
