#include "runs/runmerger.h"

#include "platform.h"

#include <algorithm>

namespace
{
constexpr size_t prefetchDistance = 8;
} // namespace

RunMerger::RunMerger(const Collation &collation, bool reversed)
    : m_collation(collation), m_reversed(reversed)
{
}

void RunMerger::add(Source source)
{
    MergeSource &added = m_sources.emplace_back();
    added.source = std::move(source);
    if (!m_spareEntries.empty()) {
        added.entries = std::move(m_spareEntries.back());
        m_spareEntries.pop_back();
    }
}

void RunMerger::clear()
{
    for (MergeSource &source : m_sources) {
        source.entries.clear();
        m_spareEntries.push_back(std::move(source.entries));
    }
    m_sources.clear();
    m_heap.clear();
    m_started = false;
}

const WeighedItem &RunMerger::weighedHead(MergeSource &source) const
{
    source.head.weigh(*source.entries[source.at].item, m_collation);
    return source.head;
}

inline bool RunMerger::after(int a, int b)
{
    const MergeSource &sourceA = m_sources[size_t(a)];
    const MergeSource &sourceB = m_sources[size_t(b)];
    const quint64 first = sourceA.entries[sourceA.at].keyPrefix;
    const quint64 second = sourceB.entries[sourceB.at].keyPrefix;
    if (first != second)
        return m_reversed ? first < second : second < first;
    return afterTied(a, b);
}

bool RunMerger::afterTied(int a, int b)
{
    MergeSource &sourceA = m_sources[size_t(a)];
    MergeSource &sourceB = m_sources[size_t(b)];
    const Item &first = *sourceA.entries[sourceA.at].item;
    if (first.sameAs(*sourceB.entries[sourceB.at].item))
        return false;
    const int order = m_collation.compareTied(weighedHead(sourceA), weighedHead(sourceB));
    return m_reversed ? order < 0 : order > 0;
}

bool RunMerger::start(QString &errorString)
{
    m_started = true;
    for (size_t source = 0; source < m_sources.size(); ++source) {
        if (!m_sources[source].source(m_sources[source].entries, errorString))
            return false;
        if (!m_sources[source].entries.empty())
            m_heap.push_back(int(source));
    }
    std::make_heap(m_heap.begin(), m_heap.end(), [this](int a, int b) { return after(a, b); });
    return true;
}

void RunMerger::siftDown()
{
    const size_t size = m_heap.size();
    for (size_t at = 0;;) {
        size_t child = 2 * at + 1;
        if (child >= size)
            return;
        if (child + 1 < size && after(m_heap[child], m_heap[child + 1]))
            ++child;
        if (!after(m_heap[at], m_heap[child]))
            return;
        std::swap(m_heap[at], m_heap[child]);
        at = child;
    }
}

bool RunMerger::next(std::vector<ItemEntry> &chunk, std::string &bytes, qsizetype maxItems,
                     QString &errorString)
{
    chunk.clear();
    bytes.clear();
    if (!m_started && !start(errorString))
        return false;
    // Items are copied into bytes, which may move as it grows: offsets first, addresses
    // at the end.
    m_offsets.clear();
    m_offsets.reserve(size_t(maxItems));
    chunk.reserve(size_t(maxItems));
    while (qsizetype(chunk.size()) < maxItems && !m_heap.empty()) {
        MergeSource &source = m_sources[size_t(m_heap.front())];
        // A run's items lie in order in what was read of it, far more than the processor
        // keeps at hand: each is asked for a few items ahead.
        if (source.at + prefetchDistance < source.entries.size())
            platform::prefetch(source.entries[source.at + prefetchDistance].item);
        const ItemEntry &entry = source.entries[source.at++];
        m_offsets.push_back(bytes.size());
        entry.item->appendTo(bytes);
        chunk.push_back({entry.keyPrefix, nullptr});
        if (source.at < source.entries.size()) {
            // The same text again still comes out first, with the same weights.
            const ItemEntry &following = source.entries[source.at];
            if (following.keyPrefix == entry.keyPrefix && following.item->sameAs(*entry.item)) {
                source.head.movedTo(*following.item);
                continue;
            }
        } else {
            source.at = 0;
            if (!source.source(source.entries, errorString))
                return false;
            if (source.entries.empty()) {
                m_heap.front() = m_heap.back();
                m_heap.pop_back();
            }
        }
        // The source on top has a new next entry, which may lie where the last one did, or
        // the last source took its place.
        source.head.forget();
        siftDown();
    }
    for (size_t index = 0; index < chunk.size(); ++index)
        chunk[index].item = Item::laidOutAt(bytes.data() + m_offsets[index]);
    return true;
}
