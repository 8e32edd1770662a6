#include "sorteditemlist.h"

#include "itemsorting.h"

#include <algorithm>

qsizetype SortedItemList::upperBound(const ItemEntry &entry, qsizetype end) const
{
    return std::upper_bound(
               m_items.begin(), m_items.begin() + end, entry,
               [this](const ItemEntry &a, const ItemEntry &b) { return m_collation.less(a, b); }) -
           m_items.begin();
}

qsizetype SortedItemList::insertionPoint(QStringView text) const
{
    Arena scratch;
    return upperBound(m_collation.entryFor(Item::create(scratch, text)), count());
}

qsizetype SortedItemList::insert(QStringView text)
{
    Q_ASSERT(!hasUnmergedItems());
    const ItemEntry entry = m_collation.entryFor(Item::create(m_arena, text));
    m_loneSurrogateCount += entry.item->hasLoneSurrogates();
    const qsizetype position = upperBound(entry, count());
    m_items.insert(m_items.begin() + position, entry);
    ++m_mergedCount;
    return position;
}

void SortedItemList::insert(ItemBatch &&batch)
{
    append(std::move(batch));
    mergeAppended();
}

void SortedItemList::append(ItemBatch &&batch)
{
    Q_ASSERT(!hasUnmergedItems());
    if (batch.isEmpty())
        return;
    batch.sort(m_collation);
    m_arena.adopt(std::move(batch.m_arena));
    m_loneSurrogateCount += std::exchange(batch.m_loneSurrogateCount, 0);
    if (m_items.empty())
        m_items = std::move(batch.m_items);
    else
        m_items.insert(m_items.end(), batch.m_items.begin(), batch.m_items.end());
    batch.m_items.clear();
    // A batch that sorts wholly after the list is in place already.
    if (m_mergedCount == 0 || !m_collation.less(m_items[m_mergedCount], m_items[m_mergedCount - 1]))
        m_mergedCount = count();
}

qsizetype SortedItemList::mergedPosition(qsizetype position) const
{
    const ItemEntry &entry = m_items[position];
    const auto less = [this](const ItemEntry &a, const ItemEntry &b) {
        return m_collation.less(a, b);
    };
    if (position < m_mergedCount) {
        // Appended items equal to this one go after it, so only those before it count.
        const auto appendedBefore =
            std::lower_bound(m_items.begin() + m_mergedCount, m_items.end(), entry, less) -
            (m_items.begin() + m_mergedCount);
        return position + appendedBefore;
    }
    return position - m_mergedCount + upperBound(entry, m_mergedCount);
}

void SortedItemList::mergeAppended()
{
    mergeSortedRanges(m_items, m_mergedCount, m_collation);
    m_mergedCount = count();
}
