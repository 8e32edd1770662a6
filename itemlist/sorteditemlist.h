#pragma once

#include "order/collation.h"
#include "platform.h"
#include "storage/arena.h"
#include "storage/item.h"
#include "storage/itembatch.h"
#include "storage/itemrun.h"
#include "storage/itemstream.h"

#include <memory>
#include <vector>

struct ItemsToWrite;

// The items of a list, always in ascending alphabetical order (see Collation). Items are
// only ever added and read back by position; equal items are all kept.
//
// The list is a base, a sorted run that is never changed but replaced, and the items added
// one at a time since, sorted among themselves, which take their places in between. A
// loader can so merge a batch into a copy of the base on a thread of its own, and swap it
// in; an item added meanwhile stays. Every operation of the window's thread takes time in
// proportion to the log of the list's size, or to the count of added items, which folds
// into the base now and then.
class SortedItemList
{
public:
    explicit SortedItemList(const Collation &collation = Collation());

    [[nodiscard]] qsizetype count() const
    {
        return sortedCount() + (m_appended ? qsizetype(m_appended->entries.size()) : 0);
    }
    [[nodiscard]] QString at(qsizetype position) const { return item(position).toString(); }
    [[nodiscard]] const Item &item(qsizetype position) const { return *entry(position).item; }

    // Calls visit(item) for the items at positions [from, to), in order; faster than item()
    // for a pass over many.
    template <typename Visit> void forEachItem(qsizetype from, qsizetype to, Visit visit) const
    {
        forEachEntry(from, to, [&](const ItemEntry &entry) { visit(*entry.item); });
    }
    // The items in the form's order, a chunk at a time, for the writer; the list must not
    // change while the stream is read.
    [[nodiscard]] ItemStream stream(ListForm form = {}) const;
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
    // How many items hold a lone surrogate, which only UTF-16 can write.
    [[nodiscard]] qsizetype loneSurrogateCount() const;

    // The position that insert(text) would give the item: after any items equal to it.
    [[nodiscard]] qsizetype insertionPoint(QStringView text) const;
    // Adds one item at its sorted place and returns that place.
    qsizetype insert(QStringView text);
    // The same in two steps, for a model that announces the row in between: prepareInsert()
    // does all that can fail and returns the place, commitInsert() cannot fail.
    qsizetype prepareInsert(QStringView text);
    void commitInsert() noexcept;
    // Adds every item of batch.
    void insert(ItemBatch &&batch);
    // Folds the added items into the base when they are many, which changes no position;
    // not while the base is held.
    void foldAddedWhenMany();
    // While held, the base changes only by replaceBase(), since a merge made elsewhere
    // builds on it: added items stay apart, however many.
    void holdBase(bool held) { m_baseHeld = held; }

    // The base, for a loader that merges into a copy of it.
    [[nodiscard]] std::shared_ptr<const ItemRun> base() const { return m_base; }
    [[nodiscard]] const Collation &collation() const { return m_collation; }

    // A merge in two steps, so that a model can announce the new rows first and their move
    // to their sorted places second. append() puts the items of addition, sorted among
    // themselves, after all the others; replaceBase() then makes merged, the merge of the
    // base and addition, the base.
    void append(std::shared_ptr<const ItemRun> addition);
    // Where the item now at position will be once merged has replaced the base.
    [[nodiscard]] qsizetype positionAfter(const ItemRun &merged, qsizetype position) const;
    // Returns the base that merged replaces.
    std::shared_ptr<const ItemRun> replaceBase(std::shared_ptr<const ItemRun> merged);

private:
    [[nodiscard]] qsizetype baseCount() const { return qsizetype(m_base->entries.size()); }
    // The base and the added items.
    [[nodiscard]] qsizetype sortedCount() const { return baseCount() + qsizetype(m_added.size()); }
    [[nodiscard]] const ItemEntry &entry(qsizetype position) const;
    // How many added items come before position.
    [[nodiscard]] qsizetype addedBefore(qsizetype position) const;
    [[nodiscard]] auto inListOrder() const
    {
        return [this](const ItemEntry &a, const ItemEntry &b) { return m_collation.less(a, b); };
    }
    // Calls visit(entry) for the entries at positions [from, to), in order.
    template <typename Visit> void forEachEntry(qsizetype from, qsizetype to, Visit visit) const;
    [[nodiscard]] qsizetype upperBound(const std::vector<ItemEntry> &entries,
                                       const ItemEntry &entry) const;
    [[nodiscard]] qsizetype lowerBound(const std::vector<ItemEntry> &entries,
                                       const ItemEntry &entry) const;

    Collation m_collation;
    std::shared_ptr<const ItemRun> m_base;
    // Added items, and for each, how many base items go before it.
    std::vector<ItemEntry> m_added;
    std::vector<qsizetype> m_baseBeforeAdded;
    std::shared_ptr<Arena> m_addedArena;
    qsizetype m_addedLoneSurrogates = 0;
    std::shared_ptr<const ItemRun> m_appended; // between the two steps of a merge
    bool m_baseHeld = false;
    // An item between prepareInsert() and commitInsert(): its entry and places.
    struct Prepared {
        ItemEntry entry;
        qsizetype added;
        qsizetype baseBefore;
    };
    Prepared m_prepared{};
};

// The items of list, in form, for the choice of the encoding to write them in.
[[nodiscard]] ItemsToWrite itemsToWrite(const SortedItemList &list, ListForm form = {});

template <typename Visit>
void SortedItemList::forEachEntry(qsizetype from, qsizetype to, Visit visit) const
{
    constexpr qsizetype ahead = 16; // items are scattered in memory: fetch ahead
    const std::vector<ItemEntry> &base = m_base->entries;
    qsizetype added = addedBefore(from);
    qsizetype inBase = from - added;
    const auto addedNext = [&] {
        return added < qsizetype(m_added.size()) &&
               added + m_baseBeforeAdded[size_t(added)] == inBase + added;
    };
    for (qsizetype position = from; position < to; ++position) {
        if (position >= sortedCount()) {
            visit(m_appended->entries[size_t(position - sortedCount())]);
            continue;
        }
        if (addedNext()) {
            visit(m_added[size_t(added++)]);
            continue;
        }
        if (inBase + ahead < baseCount())
            platform::prefetch(base[size_t(inBase + ahead)].item);
        visit(base[size_t(inBase++)]);
    }
}
