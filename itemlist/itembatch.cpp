#include "itembatch.h"

#include "itemsorting.h"

void ItemBatch::sort(const Collation &collation)
{
    if (!m_sorted)
        keyAndSort(m_items, collation);
    m_sorted = true;
}

void ItemBatch::append(ItemBatch &&other)
{
    appendItemsOf(other);
    m_arena.adopt(std::move(other.m_arena));
}

void ItemBatch::appendItemsOf(ItemBatch &other)
{
    if (other.isEmpty())
        return;
    m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
    m_loneSurrogateCount += std::exchange(other.m_loneSurrogateCount, 0);
    m_sorted = m_items.size() == other.m_items.size() && other.m_sorted;
    other.m_items.clear();
}

void ItemBatch::truncate(qsizetype count)
{
    for (auto entry = m_items.begin() + count; entry != m_items.end(); ++entry)
        m_loneSurrogateCount -= entry->item->hasLoneSurrogates();
    m_items.resize(size_t(count));
}
