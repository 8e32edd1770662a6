#include "order/runmerger.h"

#include <algorithm>
#include <optional>

RunMerger::RunMerger(const Collation &collation, bool reversed, bool unique)
    : m_collation(collation), m_reversed(reversed), m_unique(unique)
{
}

void RunMerger::add(Source source)
{
    m_runs.emplace_back().source = std::move(source);
}

Collation::FirstWeights RunMerger::firstWeights(Run &run) const
{
    if (!run.weighed) {
        run.weightsLength = m_collation.writeDeepWeights(*run.entries[run.at].item,
                                                         run.weights.data(), run.weights.size());
        run.weighed = true;
    }
    return {run.weights.data(), run.weightsLength};
}

bool RunMerger::after(int a, int b)
{
    Run &runA = m_runs[size_t(a)];
    Run &runB = m_runs[size_t(b)];
    const ItemEntry &first = runA.entries[runA.at];
    const ItemEntry &second = runB.entries[runB.at];
    if (first.keyPrefix != second.keyPrefix)
        return m_reversed ? first.keyPrefix < second.keyPrefix : second.keyPrefix < first.keyPrefix;
    if (first.item->sameAs(*second.item))
        return false;
    const int order =
        m_collation.compareTied(*first.item, firstWeights(runA), *second.item, firstWeights(runB));
    return m_reversed ? order < 0 : order > 0;
}

bool RunMerger::start(QString &errorString)
{
    m_started = true;
    for (size_t run = 0; run < m_runs.size(); ++run) {
        if (!m_runs[run].source(m_runs[run].entries, errorString))
            return false;
        if (!m_runs[run].entries.empty())
            m_heap.push_back(int(run));
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

bool RunMerger::next(std::vector<ItemEntry> &chunk, qsizetype maxItems, QString &errorString)
{
    chunk.clear();
    // The chunk before stays whole, for a caller that writes it while this one is merged.
    std::string &bytes = m_bytes[m_turn];
    m_turn = 1 - m_turn;
    bytes.clear();
    if (!m_started && !start(errorString))
        return false;
    // Items are copied into bytes, which may move as it grows: offsets first, addresses
    // at the end.
    std::vector<size_t> offsets;
    offsets.reserve(size_t(maxItems));
    const auto previous = [&]() -> std::optional<QByteArrayView> {
        if (!offsets.empty())
            return reinterpret_cast<const Item *>(bytes.data() + offsets.back())->utf8();
        if (m_hasPrevious)
            return QByteArrayView(m_previous.data(), qsizetype(m_previous.size()));
        return std::nullopt;
    };
    while (qsizetype(chunk.size()) < maxItems && !m_heap.empty()) {
        Run &run = m_runs[size_t(m_heap.front())];
        const ItemEntry &entry = run.entries[run.at++];
        if (!m_unique || previous() != entry.item->utf8()) {
            offsets.push_back(bytes.size());
            bytes.append(reinterpret_cast<const char *>(entry.item),
                         size_t(entry.item->byteSize()));
            chunk.push_back({entry.keyPrefix, nullptr});
        }
        if (run.at < run.entries.size()) {
            // The same text again still comes out first, with the same weights.
            const ItemEntry &following = run.entries[run.at];
            if (following.keyPrefix == entry.keyPrefix && following.item->sameAs(*entry.item))
                continue;
        } else {
            run.at = 0;
            if (!run.source(run.entries, errorString))
                return false;
            if (run.entries.empty()) {
                m_heap.front() = m_heap.back();
                m_heap.pop_back();
            }
        }
        // The run on top has a new next entry, or the last run took its place.
        run.weighed = false;
        siftDown();
    }
    for (size_t index = 0; index < chunk.size(); ++index)
        chunk[index].item = reinterpret_cast<const Item *>(bytes.data() + offsets[index]);
    if (m_unique && !chunk.empty()) {
        const QByteArrayView last = chunk.back().item->utf8();
        m_previous.assign(last.data(), size_t(last.size()));
        m_hasPrevious = true;
    }
    return true;
}
