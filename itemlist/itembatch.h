#pragma once

#include "arena.h"
#include "item.h"

#include <QString>

#include <vector>

class Collation;

// Items gathered in reading order, waiting to be added to a list in one step.
class ItemBatch
{
public:
    void append(QStringView text) { add(Item::create(m_arena, text)); }
    // utf8 is WTF-8 when loneSurrogates is set.
    void appendUtf8(QByteArrayView utf8, bool loneSurrogates)
    {
        add(Item::create(m_arena, utf8, loneSurrogates));
    }
    // Appends the items of other after these, in their order.
    void append(ItemBatch &&other);
    // The same, but the items' text stays in other's memory, which other keeps gathering:
    // other must be appended itself before it goes.
    void appendItemsOf(ItemBatch &other);
    // Drops the items after the first count.
    void truncate(qsizetype count);
    // Makes room for count items in all.
    void reserve(qsizetype count) { m_items.reserve(size_t(count)); }
    // Puts the items into list order. A list sorts a batch itself when it is added; sorting
    // first lets that work run on another thread.
    void sort(const Collation &collation);

    [[nodiscard]] qsizetype size() const { return qsizetype(m_items.size()); }
    [[nodiscard]] bool isEmpty() const { return m_items.empty(); }
    [[nodiscard]] QString at(qsizetype index) const { return m_items[index].item->toString(); }

private:
    friend class SortedItemList;

    void add(const Item *item)
    {
        m_items.push_back({0, item}); // keyed when sorted
        m_loneSurrogateCount += item->hasLoneSurrogates();
        m_sorted = false;
    }

    Arena m_arena;
    std::vector<ItemEntry> m_items;
    qsizetype m_loneSurrogateCount = 0;
    bool m_sorted = true;
};
