#pragma once

#include "arena.h"
#include "collation.h"
#include "item.h"
#include "itembatch.h"

#include <vector>

// The items of a list, always in ascending alphabetical order (see Collation). Items are
// only ever added and read back by position; equal items are all kept.
//
// A batch is added in two steps, append() and mergeAppended(), so that a model can announce
// the new rows first and their move to the sorted places second. Between the two steps the
// appended items sit, sorted among themselves, after the others.
class SortedItemList
{
public:
    [[nodiscard]] qsizetype count() const { return qsizetype(m_items.size()); }
    [[nodiscard]] QString at(qsizetype position) const
    {
        return m_items[position].item->toString();
    }
    [[nodiscard]] const Item &item(qsizetype position) const { return *m_items[position].item; }
    // How many items hold a lone surrogate, which only UTF-16 can write.
    [[nodiscard]] qsizetype loneSurrogateCount() const { return m_loneSurrogateCount; }

    // Calls visit(item) for the items at positions [from, to), in order; faster than item()
    // for a pass over many.
    template <typename Visit> void forEachItem(qsizetype from, qsizetype to, Visit visit) const
    {
        constexpr qsizetype ahead = 16; // items are scattered in memory: fetch ahead
        for (qsizetype position = from; position < to; ++position) {
            if (position + ahead < to)
                __builtin_prefetch(m_items[position + ahead].item);
            visit(*m_items[position].item);
        }
    }
    // Calls visit(text) for every item in order.
    template <typename Visit> void forEach(Visit visit) const
    {
        QString text;
        forEachItem(0, count(), [&](const Item &item) {
            text.clear();
            appendUtf16(item.utf8(), text);
            visit(QStringView(text));
        });
    }

    // The position that insert(text) would give the item: after any items equal to it.
    [[nodiscard]] qsizetype insertionPoint(QStringView text) const;
    // Adds one item at its sorted place and returns that place.
    qsizetype insert(QStringView text);

    // Adds every item of batch: insert(batch) does both steps.
    void insert(ItemBatch &&batch);
    void append(ItemBatch &&batch);
    [[nodiscard]] bool hasUnmergedItems() const { return m_mergedCount < count(); }
    // Where the item now at position will be once mergeAppended() has run.
    [[nodiscard]] qsizetype mergedPosition(qsizetype position) const;
    void mergeAppended();

private:
    [[nodiscard]] qsizetype upperBound(const ItemEntry &entry, qsizetype end) const;

    Collation m_collation;
    Arena m_arena;
    std::vector<ItemEntry> m_items;
    qsizetype m_mergedCount = 0;
    qsizetype m_loneSurrogateCount = 0;
};
