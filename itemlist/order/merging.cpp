#include "order/merging.h"

#include "order/collation.h"
#include "order/parallel.h"
#include "platform.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace
{
// Below this many items per thread, starting threads costs more than it saves.
constexpr qsizetype minimumPerThread = 1 << 15;

// A lambda rather than a function, so that std::sort inlines it.
constexpr auto byPrefix = [](const ItemEntry &a, const ItemEntry &b) {
    return a.keyPrefix < b.keyPrefix;
};

// Sorts entries by key prefix: one radix pass on the prefix's first two bytes, which for
// most text spreads the entries over thousands of buckets, then each bucket on its own.
void sortByPrefix(std::vector<ItemEntry> &entries, int threads, const std::stop_token &stop)
{
    const auto count = qsizetype(entries.size());
    constexpr int bucketCount = 1 << 16;
    const auto bucketOf = [](const ItemEntry &entry) { return size_t(entry.keyPrefix >> 48); };
    if (count < bucketCount) {
        std::sort(entries.begin(), entries.end(), byPrefix);
        return;
    }
    std::vector<std::vector<qsizetype>> offsets(threads, std::vector<qsizetype>(bucketCount));
    runInParallel(threads, [&](int part) {
        for (qsizetype index = partBegin(count, threads, part);
             index < partBegin(count, threads, part + 1); ++index)
            ++offsets[part][bucketOf(entries[index])];
    });
    // Each part scatters into its own share of each bucket, after the shares of the parts
    // before it; bucketStarts ends with the total.
    std::vector<qsizetype> bucketStarts(bucketCount + 1);
    qsizetype next = 0;
    for (int bucket = 0; bucket < bucketCount; ++bucket) {
        bucketStarts[bucket] = next;
        for (int part = 0; part < threads; ++part)
            next += std::exchange(offsets[part][bucket], next);
    }
    bucketStarts[bucketCount] = next;
    std::vector<ItemEntry> sorted(entries.size());
    runInParallel(threads, [&](int part) {
        for (qsizetype index = partBegin(count, threads, part);
             index < partBegin(count, threads, part + 1); ++index)
            sorted[offsets[part][bucketOf(entries[index])]++] = entries[index];
    });
    std::vector<ItemEntry>().swap(entries);
    // Parts take whole buckets, about equal shares of the entries each.
    runInParallel(threads, [&](int part) {
        const auto first = std::lower_bound(bucketStarts.begin(), bucketStarts.end(),
                                            partBegin(count, threads, part));
        const auto last = std::lower_bound(bucketStarts.begin(), bucketStarts.end(),
                                           partBegin(count, threads, part + 1));
        for (auto bucket = first;
             bucket < last && bucket + 1 < bucketStarts.end() && !stop.stop_requested(); ++bucket)
            std::sort(sorted.begin() + *bucket, sorted.begin() + *(bucket + 1), byPrefix);
    });
    entries.swap(sorted);
}

// An item tied with others on its key prefix, with the next 32 bytes of its primary
// weights, from some depth on, as big-endian numbers: enough to settle most ties at once.
struct TieRecord {
    std::array<quint64, 4> window;
    const Item *item;

    bool operator<(const TieRecord &other) const { return window < other.window; }
    bool sameWindow(const TieRecord &other) const { return window == other.window; }
    // Weights end inside a window exactly when its last byte is the zero after them.
    bool weightsGoOn() const { return (window.back() & 0xFF) != 0; }
};

constexpr qsizetype windowBytes = sizeof(TieRecord::window);
// Items are scattered in memory, and ties are found in sorted order: fetch ahead.
constexpr qsizetype prefetchDistance = 8;
// Past this depth, runs of records are ordered by whole comparisons rather than window by
// window, whose cost grows with the depth.
constexpr qsizetype deepest = 1024;

class TieResolver
{
public:
    explicit TieResolver(const Collation &collation) : m_collation(collation) {}

    // Puts [begin, end), whose key prefixes are all equal, into list order.
    void resolve(ItemEntry *begin, ItemEntry *end)
    {
        m_records.clear();
        for (ItemEntry *entry = begin; entry != end; ++entry) {
            if (end - entry > prefetchDistance)
                platform::prefetch(entry[prefetchDistance].item);
            m_records.push_back({window(*entry->item, 8), entry->item});
        }
        sortFrom(m_records.data(), m_records.data() + m_records.size(), 8);
        for (qsizetype index = 0; index < end - begin; ++index)
            begin[index].item = m_records[size_t(index)].item;
    }

private:
    std::array<quint64, 4> window(const Item &item, qsizetype depth)
    {
        m_weights.resize(size_t(depth + windowBytes));
        const qsizetype length =
            m_collation.writePrimaryWeights(item, m_weights.data(), depth + windowBytes);
        quint8 bytes[windowBytes] = {};
        if (length > depth)
            std::memcpy(bytes, m_weights.data() + depth,
                        size_t(std::min(length - depth, windowBytes)));
        std::array<quint64, 4> words;
        for (size_t word = 0; word < words.size(); ++word)
            words[word] = qFromBigEndian<quint64>(bytes + 8 * word);
        return words;
    }

    // Sorts records whose primary weights agree before depth.
    void sortFrom(TieRecord *begin, TieRecord *end, qsizetype depth)
    {
        if (depth > deepest) {
            std::sort(begin, end, [this](const TieRecord &a, const TieRecord &b) {
                return m_collation.less({0, a.item}, {0, b.item});
            });
            return;
        }
        // Runs of one text many times over, common in lists, need no sorting here.
        if (std::adjacent_find(begin, end, [](const TieRecord &a, const TieRecord &b) {
                return !a.sameWindow(b);
            }) != end)
            std::sort(begin, end);
        for (TieRecord *run = begin; run != end;) {
            TieRecord *runEnd = run + 1;
            while (runEnd != end && runEnd->sameWindow(*run))
                ++runEnd;
            if (runEnd - run > 1) {
                if (run->weightsGoOn()) {
                    for (TieRecord *record = run; record != runEnd; ++record)
                        record->window = window(*record->item, depth + windowBytes);
                    sortFrom(run, runEnd, depth + windowBytes);
                } else {
                    sortEqualWeights(run, runEnd);
                }
            }
            run = runEnd;
        }
    }

    // Records whose primary weights are all equal: equal texts gather, and the distinct
    // texts, usually few ("apple", "Apple", "APPLE"), are ordered by the full collation.
    void sortEqualWeights(TieRecord *begin, TieRecord *end)
    {
        m_textOf.clear();
        m_texts.clear();
        // Each record's window is no longer needed: its first word becomes its text's number.
        // The distinct texts are usually few, found fastest by comparing with each; many
        // are found by hash.
        constexpr size_t fewTexts = 8;
        for (TieRecord *record = begin; record != end; ++record) {
            const QByteArrayView text = record->item->utf8();
            size_t number = 0;
            if (m_texts.size() <= fewTexts) {
                while (number < m_texts.size() && m_texts[number].item->utf8() != text)
                    ++number;
                if (number == m_texts.size())
                    m_texts.push_back({record->item, 0});
                if (m_texts.size() > fewTexts) {
                    for (size_t known = 0; known < m_texts.size(); ++known)
                        m_textOf.insert(m_texts[known].item->utf8(), qsizetype(known));
                }
            } else {
                auto found = m_textOf.constFind(text);
                if (found == m_textOf.cend()) {
                    found = m_textOf.insert(text, qsizetype(m_texts.size()));
                    m_texts.push_back({record->item, 0});
                }
                number = size_t(*found);
            }
            record->window[0] = quint64(number);
            ++m_texts[number].count;
        }
        // Equal texts share one item from here on, so that later comparisons, as in merges,
        // find them equal without reading them.
        if (m_texts.size() < 2) {
            for (TieRecord *record = begin; record != end; ++record)
                record->item = m_texts.front().item;
            return;
        }
        m_order.resize(m_texts.size());
        std::iota(m_order.begin(), m_order.end(), 0);
        std::sort(m_order.begin(), m_order.end(), [this](qsizetype a, qsizetype b) {
            return m_collation.compareFully(*m_texts[size_t(a)].item, *m_texts[size_t(b)].item) < 0;
        });
        // Where each text's records start once the texts are in order; then the records
        // go there, each text's in their order of before.
        qsizetype start = 0;
        for (const qsizetype text : m_order)
            start += std::exchange(m_texts[size_t(text)].count, start);
        m_unordered.assign(begin, end);
        for (const TieRecord &record : m_unordered) {
            Text &text = m_texts[size_t(record.window[0])];
            begin[text.count++].item = text.item;
        }
    }

    // A distinct text among records with equal weights, and how many records hold it.
    struct Text {
        const Item *item;
        qsizetype count; // then where its records start
    };

    const Collation &m_collation;
    std::vector<TieRecord> m_records;
    std::vector<quint8> m_weights;
    QHash<QByteArrayView, qsizetype> m_textOf;
    std::vector<Text> m_texts;
    std::vector<qsizetype> m_order;
    std::vector<TieRecord> m_unordered;
};

// Orders every run of entries that share a key prefix.
void resolveTies(std::vector<ItemEntry> &entries, const Collation &collation, int threads,
                 const std::stop_token &stop)
{
    const auto count = qsizetype(entries.size());
    // Parts start where a run starts, so that no run is split between them.
    const auto runStart = [&](qsizetype index) {
        while (index > 0 && index < count &&
               entries[index].keyPrefix == entries[index - 1].keyPrefix)
            ++index;
        return index;
    };
    runInParallel(threads, [&](int part) {
        const Collation own(collation);
        TieResolver resolver(own);
        const qsizetype end = runStart(partBegin(count, threads, part + 1));
        for (qsizetype run = runStart(partBegin(count, threads, part));
             run < end && !stop.stop_requested();) {
            qsizetype runEnd = run + 1;
            while (runEnd < count && entries[runEnd].keyPrefix == entries[run].keyPrefix)
                ++runEnd;
            if (runEnd - run > 1)
                resolver.resolve(entries.data() + run, entries.data() + runEnd);
            run = runEnd;
        }
    });
}
} // namespace

void keyAndSort(std::vector<ItemEntry> &entries, const Collation &collation,
                const std::stop_token &stop)
{
    const auto count = qsizetype(entries.size());
    const int threads = threadCountFor(count, minimumPerThread);
    runInParallel(threads, [&](int part) {
        const Collation own(collation);
        const qsizetype end = partBegin(count, threads, part + 1);
        for (qsizetype index = partBegin(count, threads, part);
             index < end && (index % 4096 != 0 || !stop.stop_requested()); ++index)
            entries[index].keyPrefix = own.keyPrefix(*entries[index].item);
    });
    if (stop.stop_requested())
        return;
    sortByPrefix(entries, threads, stop);
    if (!stop.stop_requested())
        resolveTies(entries, collation, threads, stop);
}

namespace
{
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
        m_a.load(a.item, m_collation);
        m_b.load(b.item, m_collation);
        const auto byWeights =
            std::lexicographical_compare_three_way(m_b.begin(), m_b.end(), m_a.begin(), m_a.end());
        // Weights that agree as far as they were made leave the rest to the full order.
        const bool settled =
            byWeights != 0 && !(m_a.cutShort() && m_b.cutShort() && m_a.length == m_b.length);
        m_lastA = a.item;
        m_lastB = b.item;
        m_lastBefore = settled ? byWeights < 0 : m_collation.compareFully(*b.item, *a.item) < 0;
        return m_lastBefore;
    }

private:
    // The first weights of one side's item.
    struct Weights {
        static constexpr qsizetype capacity = 4096;
        const Item *item = nullptr;
        std::array<quint8, capacity> bytes;
        qsizetype length = 0;

        void load(const Item *of, const Collation &collation)
        {
            if (of == item)
                return;
            length = collation.writePrimaryWeights(*of, bytes.data(), capacity);
            item = of;
        }
        [[nodiscard]] const quint8 *begin() const { return bytes.data(); }
        [[nodiscard]] const quint8 *end() const { return bytes.data() + length; }
        [[nodiscard]] bool cutShort() const { return length == capacity; }
    };

    const Collation &m_collation;
    Weights m_a;
    Weights m_b;
    const Item *m_lastA = nullptr;
    const Item *m_lastB = nullptr;
    bool m_lastBefore = false;
};

// How many items of a the first count items of the merge of a and b take.
qsizetype mergeSplit(const std::vector<ItemEntry> &a, const std::vector<ItemEntry> &b,
                     qsizetype count, MergeOrder &order)
{
    const auto sizeA = qsizetype(a.size());
    const auto sizeB = qsizetype(b.size());
    qsizetype low = std::max<qsizetype>(0, count - sizeB);
    qsizetype high = std::min(count, sizeA);
    while (low < high) {
        const qsizetype fromA = low + (high - low) / 2;
        const qsizetype fromB = count - fromA;
        // Too few from a while b's last taken item does not go before a's next.
        if (fromB > 0 && fromA < sizeA && !order.before(b[fromB - 1], a[fromA]))
            low = fromA + 1;
        else
            high = fromA;
    }
    return low;
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
    const int threads = threadCountFor(count, minimumPerThread);
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
            while (low < high) {
                const qsizetype middle = low + (high - low) / 2;
                if (order.before(b[fromB], a[middle]))
                    high = middle;
                else
                    low = middle + 1;
            }
            out = std::copy(a.begin() + fromA, a.begin() + low, out);
            *out++ = b[fromB];
            fromA = low;
        }
        std::copy(a.begin() + fromA, a.begin() + endA, out);
    });
    return merged;
}

MergedBatch mergeBatch(const ItemRun &base, ItemBatch &&batch, const Collation &collation,
                       const std::stop_token &stop)
{
    auto addition = std::make_shared<const ItemRun>(batch.takeRun(collation, stop));
    if (base.entries.empty())
        return {addition, addition};
    return {std::make_shared<const ItemRun>(mergeRuns(base, *addition, collation, stop)), addition};
}
