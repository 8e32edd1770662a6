#include "order/merging.h"

#include "order/collation.h"
#include "order/sorting.h"
#include "order/weigheditem.h"
#include "parallel.h"
#include "platform.h"

#include <algorithm>

namespace
{
constexpr qsizetype prefetchDistance = 8;

// The order of merge steps, which mostly compare the same item on one side with item after
// item on the other, and for ties with many equal items: the weights and the last full
// comparison are kept.
class MergeOrder
{
public:
    explicit MergeOrder(const Collation &collation) : m_collation(collation) {}

    // Whether b goes before a; a, from the base, goes first when they are equal.
    bool before(const ItemEntry &b, const ItemEntry &a)
    {
        if (a.keyPrefix != b.keyPrefix)
            return b.keyPrefix < a.keyPrefix;
        if (a.item == b.item)
            return false;
        if (a.item == m_lastA && b.item == m_lastB)
            return m_lastBefore;
        m_a.weigh(*a.item, m_collation);
        m_b.weigh(*b.item, m_collation);
        m_lastA = a.item;
        m_lastB = b.item;
        m_lastBefore = m_collation.compareTied(m_b, m_a) < 0;
        return m_lastBefore;
    }

private:
    const Collation &m_collation;
    WeighedItem m_a;
    WeighedItem m_b;
    const Item *m_lastA = nullptr;
    const Item *m_lastB = nullptr;
    bool m_lastBefore = false;
};

// How many items of a the first count items of the merge of a and b take.
qsizetype mergeSplit(const std::vector<ItemEntry> &a, const std::vector<ItemEntry> &b,
                     qsizetype count, MergeOrder &order)
{
    const auto low = a.begin() + std::max<qsizetype>(0, count - qsizetype(b.size()));
    const auto high = a.begin() + std::min(count, qsizetype(a.size()));
    // Too few from a while b's last taken item does not go before a's next.
    return std::partition_point(low, high,
                                [&](const ItemEntry &next) {
                                    const qsizetype fromA = &next - a.data();
                                    return !order.before(b[size_t(count - fromA - 1)], next);
                                }) -
           a.begin();
}
} // namespace

ItemRun mergeRuns(const ItemRun &base, const ItemRun &addition, const Collation &collation,
                  const std::stop_token &stop)
{
    const std::vector<ItemEntry> &a = base.entries;
    const std::vector<ItemEntry> &b = addition.entries;
    ItemRun merged{std::vector<ItemEntry>(a.size() + b.size()), base.arenas,
                   base.loneSurrogateCount + addition.loneSurrogateCount};
    share(merged.arenas, addition.arenas);
    const auto count = qsizetype(merged.entries.size());
    const int threads = threadCountFor(count, minimumEntriesPerThread);
    runInParallel(threads, [&](int part) {
        const Collation own(collation);
        MergeOrder order(own);
        const qsizetype begin = partBegin(count, threads, part);
        const qsizetype end = partBegin(count, threads, part + 1);
        qsizetype fromA = mergeSplit(a, b, begin, order);
        qsizetype fromB = begin - fromA;
        const qsizetype endA = mergeSplit(a, b, end, order);
        const qsizetype endB = end - endA;
        ItemEntry *out = merged.entries.data() + begin;
        if ((endB - fromB) * 4 > endA - fromA) { // about as many of each: step by step
            for (; out != merged.entries.data() + end; ++out) {
                if ((out - merged.entries.data()) % 65536 == 0 && stop.stop_requested())
                    return;
                const bool takeB =
                    fromB < endB && (fromA == endA || order.before(b[fromB], a[fromA]));
                // The items of ties are read, scattered in memory: each is asked for a few
                // steps ahead of its side's head.
                if (takeB ? fromB + prefetchDistance < endB : fromA + prefetchDistance < endA)
                    platform::prefetch(takeB ? b[fromB + prefetchDistance].item
                                             : a[fromA + prefetchDistance].item);
                *out = takeB ? b[fromB++] : a[fromA++];
            }
            return;
        }
        // Few of b: each finds its place among the items of a by galloping, and the items of
        // a before it are copied in one go, with far fewer comparisons, each of which may
        // read both items' texts.
        for (; fromB < endB; ++fromB) {
            if (fromB % 4096 == 0 && stop.stop_requested())
                return;
            qsizetype step = 1;
            qsizetype low = fromA;
            qsizetype high = fromA;
            while (high < endA && !order.before(b[fromB], a[high])) {
                low = high + 1;
                high = std::min(endA, high + step);
                step *= 2;
            }
            const auto place =
                std::upper_bound(a.begin() + low, a.begin() + high, b[fromB],
                                 [&order](const ItemEntry &added, const ItemEntry &inBase) {
                                     return order.before(added, inBase);
                                 });
            out = std::copy(a.begin() + fromA, place, out);
            *out++ = b[fromB];
            fromA = place - a.begin();
        }
        std::copy(a.begin() + fromA, a.begin() + endA, out);
    });
    return merged;
}

MergedBatch mergeBatch(const ItemRun &base, ItemBatch &&batch, const Collation &collation,
                       const std::stop_token &stop)
{
    auto addition = std::make_shared<const ItemRun>(sortedRun(std::move(batch), collation, stop));
    if (base.entries.empty())
        return {addition, addition};
    return {std::make_shared<const ItemRun>(mergeRuns(base, *addition, collation, stop)), addition};
}
