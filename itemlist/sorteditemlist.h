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
    [[nodiscard]] QStringView at(qsizetype position) const
    {
        return m_items[position].item->text();
    }

    // Calls visit(text) for every item in order; faster than at() for a whole pass.
    template <typename Visit> void forEach(Visit visit) const
    {
        constexpr qsizetype ahead = 16; // items are scattered in memory: fetch ahead
        const qsizetype total = count();
        for (qsizetype position = 0; position < total; ++position) {
            if (position + ahead < total)
                __builtin_prefetch(m_items[position + ahead].item);
            visit(m_items[position].item->text());
        }
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
    mutable std::vector<quint8> m_keyScratch;
};
