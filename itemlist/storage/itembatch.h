#pragma once

#include "storage/arena.h"
#include "storage/item.h"
#include "storage/itemrun.h"

#include <QString>

#include <memory>
#include <vector>

// Items gathered in reading order, waiting to be added to a list in one step.
class ItemBatch
{
public:
    ItemBatch() : m_arena(std::make_shared<Arena>()), m_arenas{m_arena} {}

    void append(QStringView text) { add(Item::create(*m_arena, text)); }
    // utf8 is WTF-8 when loneSurrogates is set.
    void appendUtf8(QByteArrayView utf8, bool loneSurrogates)
    {
        add(Item::create(*m_arena, utf8, loneSurrogates));
    }
    // Moves the first length bytes of utf8, UTF-8, into a new item, giving back utf8's memory
    // as it goes: for a huge item, which then never takes twice its size.
    void appendTakingUtf8(QByteArray &&utf8, qsizetype length)
    {
        add(Item::createFrom(*m_arena, std::move(utf8), length, false));
    }
    // Moves the items of other after these, in their order; other stays empty, and keeps
    // gathering items in its own memory, which both then share.
    void appendItemsOf(ItemBatch &other);
    // Drops the items after the first count.
    void truncate(qsizetype count);
    // Moves the items after the first count into a batch of their own, which shares this
    // one's memory.
    [[nodiscard]] ItemBatch splitOff(qsizetype count);
    // The bytes that the items and their memory take, shared memory included.
    [[nodiscard]] qsizetype memoryUse() const;
    // Makes room for count items in all.
    void reserve(qsizetype count) { m_items.reserve(size_t(count)); }

    [[nodiscard]] qsizetype size() const { return qsizetype(m_items.size()); }
    [[nodiscard]] bool isEmpty() const { return m_items.empty(); }
    [[nodiscard]] QString at(qsizetype index) const { return m_items[index].item->toString(); }
    [[nodiscard]] qsizetype loneSurrogateCount() const { return m_loneSurrogateCount; }
    // The items in the order they came, before they are keyed.
    [[nodiscard]] const std::vector<ItemEntry> &entries() const { return m_items; }

    // The items as a run, in the order they came, which takes them and their memory; the
    // batch is left empty, and gathers new items in memory of its own. sortedRun()
    // (order/sorting.h) gives them in list order.
    [[nodiscard]] ItemRun takeItems();
    // Takes the memory of entries, emptied, for the entries of an empty batch, so that a
    // batch made after another need not take its pages from the system again.
    void reuseEntries(std::vector<ItemEntry> &&entries);

private:
    void add(const Item *item)
    {
        m_items.push_back({0, item}); // keyed when sorted
        m_loneSurrogateCount += item->hasLoneSurrogates();
    }

    std::shared_ptr<Arena> m_arena; // where this batch's own items go
    SharedArenas m_arenas;          // where all of its items live
    std::vector<ItemEntry> m_items;
    qsizetype m_loneSurrogateCount = 0;
};
