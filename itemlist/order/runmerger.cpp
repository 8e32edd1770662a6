#include "order/runmerger.h"

#include <algorithm>
#include <optional>

RunMerger::RunMerger(const Collation &collation, bool reversed, bool unique)
    : m_collation(collation), m_reversed(reversed), m_unique(unique)
{
}

void RunMerger::add(Source source)
{
    m_runs.push_back({std::move(source), {}, 0});
}

bool RunMerger::after(int a, int b) const
{
    const ItemEntry &first = m_runs[size_t(a)].entries[m_runs[size_t(a)].at];
    const ItemEntry &second = m_runs[size_t(b)].entries[m_runs[size_t(b)].at];
    return m_reversed ? m_collation.less(first, second) : m_collation.less(second, first);
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

bool RunMerger::next(std::vector<ItemEntry> &chunk, qsizetype maxItems, QString &errorString)
{
    chunk.clear();
    m_bytes.clear();
    if (!m_started && !start(errorString))
        return false;
    const auto heapOrder = [this](int a, int b) { return after(a, b); };
    // Items are copied into m_bytes, which may move as it grows: offsets first, addresses
    // at the end.
    std::vector<size_t> offsets;
    offsets.reserve(size_t(maxItems));
    const auto previous = [&]() -> std::optional<QByteArrayView> {
        if (!offsets.empty())
            return reinterpret_cast<const Item *>(m_bytes.data() + offsets.back())->utf8();
        if (m_hasPrevious)
            return QByteArrayView(m_previous.data(), qsizetype(m_previous.size()));
        return std::nullopt;
    };
    while (qsizetype(chunk.size()) < maxItems && !m_heap.empty()) {
        Run &run = m_runs[size_t(m_heap.front())];
        const ItemEntry &entry = run.entries[run.at++];
        if (!m_unique || previous() != entry.item->utf8()) {
            offsets.push_back(m_bytes.size());
            m_bytes.append(reinterpret_cast<const char *>(entry.item),
                           size_t(entry.item->byteSize()));
            chunk.push_back({entry.keyPrefix, nullptr});
        }
        std::pop_heap(m_heap.begin(), m_heap.end(), heapOrder);
        if (run.at == run.entries.size()) {
            run.at = 0;
            if (!run.source(run.entries, errorString))
                return false;
            if (run.entries.empty()) {
                m_heap.pop_back();
                continue;
            }
        }
        std::push_heap(m_heap.begin(), m_heap.end(), heapOrder);
    }
    for (size_t index = 0; index < chunk.size(); ++index)
        chunk[index].item = reinterpret_cast<const Item *>(m_bytes.data() + offsets[index]);
    if (m_unique && !chunk.empty()) {
        const QByteArrayView last = chunk.back().item->utf8();
        m_previous.assign(last.data(), size_t(last.size()));
        m_hasPrevious = true;
    }
    return true;
}
