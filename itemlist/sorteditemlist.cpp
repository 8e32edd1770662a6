#include "sorteditemlist.h"

#include "listfile/encodingchoice.h"
#include "order/merging.h"

#include <algorithm>

namespace
{
// Added items beyond this many fold into the base, which costs a pass over the list; an
// added item costs a move of those before, and they are few and small.
constexpr size_t foldLimit = 1 << 16;
} // namespace

SortedItemList::SortedItemList(const Collation &collation)
    : m_collation(collation), m_base(std::make_shared<const ItemRun>()),
      m_addedArena(std::make_shared<Arena>())
{
}

qsizetype SortedItemList::upperBound(const std::vector<ItemEntry> &entries,
                                     const ItemEntry &entry) const
{
    return std::upper_bound(entries.begin(), entries.end(), entry, inListOrder()) - entries.begin();
}

qsizetype SortedItemList::lowerBound(const std::vector<ItemEntry> &entries,
                                     const ItemEntry &entry) const
{
    return std::lower_bound(entries.begin(), entries.end(), entry, inListOrder()) - entries.begin();
}

qsizetype SortedItemList::addedBefore(qsizetype position) const
{
    // Added item k is at position k + (base items before it), which grows with k.
    const std::vector<qsizetype> &before = m_baseBeforeAdded;
    return std::partition_point(before.begin(), before.end(),
                                [&](const qsizetype &baseItems) {
                                    return &baseItems - before.data() + baseItems < position;
                                }) -
           before.begin();
}

const ItemEntry &SortedItemList::entry(qsizetype position) const
{
    if (position >= sortedCount())
        return m_appended->entries[size_t(position - sortedCount())];
    const qsizetype added = addedBefore(position);
    if (added < qsizetype(m_added.size()) && added + m_baseBeforeAdded[size_t(added)] == position)
        return m_added[size_t(added)];
    return m_base->entries[size_t(position - added)];
}

qsizetype SortedItemList::loneSurrogateCount() const
{
    return m_base->loneSurrogateCount + m_addedLoneSurrogates +
           (m_appended ? m_appended->loneSurrogateCount : 0);
}

qsizetype SortedItemList::insertionPoint(QStringView text) const
{
    Arena scratch;
    const ItemEntry probe = m_collation.entryFor(Item::create(scratch, text));
    return upperBound(m_added, probe) + upperBound(m_base->entries, probe);
}

qsizetype SortedItemList::insert(QStringView text)
{
    const qsizetype position = prepareInsert(text);
    commitInsert();
    foldAddedWhenMany();
    return position;
}

qsizetype SortedItemList::prepareInsert(QStringView text)
{
    Q_ASSERT(!m_appended);
    const ItemEntry entry = m_collation.entryFor(Item::create(*m_addedArena, text));
    m_prepared = {entry, upperBound(m_added, entry), upperBound(m_base->entries, entry)};
    // Room for one more, grown as a vector grows (reserve() alone would grow by one).
    if (m_added.size() == m_added.capacity())
        m_added.reserve(std::max<size_t>(16, m_added.size() * 2));
    m_baseBeforeAdded.reserve(m_added.capacity());
    return m_prepared.added + m_prepared.baseBefore;
}

void SortedItemList::commitInsert() noexcept
{
    // Both have room reserved, so neither insert allocates.
    m_added.insert(m_added.begin() + m_prepared.added, m_prepared.entry);
    m_baseBeforeAdded.insert(m_baseBeforeAdded.begin() + m_prepared.added, m_prepared.baseBefore);
    m_addedLoneSurrogates += m_prepared.entry.item->hasLoneSurrogates();
}

void SortedItemList::foldAddedWhenMany()
{
    if (m_added.size() <= foldLimit || m_baseHeld)
        return;
    // The merge comes first, so that a failure leaves the list as it was.
    const ItemRun added{m_added, {m_addedArena}, m_addedLoneSurrogates};
    m_base = std::make_shared<const ItemRun>(mergeRuns(*m_base, added, m_collation));
    m_added.clear();
    m_baseBeforeAdded.clear();
    m_addedLoneSurrogates = 0;
}

void SortedItemList::insert(ItemBatch &&batch)
{
    if (batch.isEmpty())
        return;
    replaceBase(mergeBatch(*m_base, std::move(batch), m_collation).merged);
}

void SortedItemList::append(std::shared_ptr<const ItemRun> addition)
{
    Q_ASSERT(!m_appended);
    m_appended = std::move(addition);
}

qsizetype SortedItemList::positionAfter(const ItemRun &merged, qsizetype position) const
{
    if (position >= sortedCount()) {
        // Appended items go after the equal base items and keep their order.
        const qsizetype index = position - sortedCount();
        const ItemEntry &entry = m_appended->entries[size_t(index)];
        return index + upperBound(m_base->entries, entry) + lowerBound(m_added, entry);
    }
    const qsizetype added = addedBefore(position);
    if (added < qsizetype(m_added.size()) && added + m_baseBeforeAdded[size_t(added)] == position)
        return added + upperBound(merged.entries, m_added[size_t(added)]);
    // Merging keeps the order among equal base items, and puts new ones after them.
    const std::vector<ItemEntry> &base = m_base->entries;
    const qsizetype inBase = position - added;
    const ItemEntry &entry = base[size_t(inBase)];
    const qsizetype rankAmongEqual = inBase - lowerBound(base, entry);
    return lowerBound(merged.entries, entry) + rankAmongEqual + lowerBound(m_added, entry);
}

std::shared_ptr<const ItemRun> SortedItemList::replaceBase(std::shared_ptr<const ItemRun> merged)
{
    m_appended.reset();
    std::swap(m_base, merged);
    for (size_t added = 0; added < m_added.size(); ++added)
        m_baseBeforeAdded[added] = upperBound(m_base->entries, m_added[added]);
    return merged;
}

ItemStream SortedItemList::stream(ListForm form) const
{
    ItemStream items([this, backwards = form.reversed,
                      next = qsizetype(0)](std::vector<ItemEntry> &chunk, QString &) mutable {
        // Enough to keep the writer's threads busy.
        const qsizetype size = std::min<qsizetype>(64 * 1024, count() - next);
        const qsizetype from = backwards ? count() - next - size : next;
        chunk.clear();
        forEachEntry(from, from + size, [&](const ItemEntry &entry) { chunk.push_back(entry); });
        if (backwards)
            std::reverse(chunk.begin(), chunk.end());
        next += size;
        return true;
    });
    return inForm(std::move(items), form);
}

ItemsToWrite itemsToWrite(const SortedItemList &list, ListForm form)
{
    return {.open = [&list, form] { return list.stream(form); },
            .loneSurrogates = list.loneSurrogateCount(),
            .allReadIn = std::nullopt};
}
