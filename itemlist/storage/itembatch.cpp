#include "storage/itembatch.h"

void ItemBatch::appendItemsOf(ItemBatch &other)
{
    if (other.isEmpty())
        return;
    m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
    share(m_arenas, other.m_arenas);
    m_loneSurrogateCount += std::exchange(other.m_loneSurrogateCount, 0);
    other.m_items.clear();
}

void ItemBatch::truncate(qsizetype count)
{
    for (auto entry = m_items.begin() + count; entry != m_items.end(); ++entry)
        m_loneSurrogateCount -= entry->item->hasLoneSurrogates();
    m_items.resize(size_t(count));
}

ItemBatch ItemBatch::splitOff(qsizetype count)
{
    ItemBatch rest;
    share(rest.m_arenas, m_arenas);
    rest.m_items.assign(m_items.begin() + count, m_items.end());
    for (const ItemEntry &entry : rest.m_items)
        rest.m_loneSurrogateCount += entry.item->hasLoneSurrogates();
    truncate(count);
    return rest;
}

qsizetype ItemBatch::memoryUse() const
{
    qsizetype bytes = qsizetype(m_items.capacity() * sizeof(ItemEntry));
    for (const auto &arena : m_arenas)
        bytes += arena->allocatedBytes();
    return bytes;
}

ItemRun ItemBatch::takeItems()
{
    ItemRun run{std::move(m_items), std::move(m_arenas), std::exchange(m_loneSurrogateCount, 0)};
    m_items.clear();
    m_arena = std::make_shared<Arena>();
    m_arenas = {m_arena};
    return run;
}

void ItemBatch::reuseEntries(std::vector<ItemEntry> &&entries)
{
    Q_ASSERT(isEmpty());
    m_items = std::move(entries);
    m_items.clear();
}
