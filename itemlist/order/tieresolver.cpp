#include "order/tieresolver.h"

#include "order/collation.h"
#include "platform.h"

#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <numeric>
#include <utility>

namespace
{
constexpr qsizetype windowBytes = sizeof(TieRecord::window);
// Items are scattered in memory, and ties are found in sorted order: fetch ahead.
constexpr qsizetype prefetchDistance = 8;
// Past this depth, runs of records are ordered by whole comparisons rather than window by
// window, whose cost grows with the depth.
constexpr qsizetype deepest = 1024;
// Texts longer than this are ordered by keys kept for the sort where they can be: each
// comparison of them takes time in their length.
constexpr qsizetype longText = 256;

// The memory that keys kept for sorts may take at once, shared by all threads, so that a
// list of long texts tied deep stays within the memory it was given; ties whose keys do not
// fit are ordered by comparisons.
constexpr qint64 keyMemoryLimit = 16 << 20;
std::atomic<qint64> keyMemoryUsed{0};

bool takeKeyMemory(qint64 bytes)
{
    if (keyMemoryUsed.fetch_add(bytes) + bytes <= keyMemoryLimit)
        return true;
    keyMemoryUsed.fetch_sub(bytes);
    return false;
}
} // namespace

void TieResolver::resolve(ItemEntry *begin, ItemEntry *end)
{
    m_records.clear();
    for (ItemEntry *entry = begin; entry != end; ++entry)
        m_records.push_back({{}, entry->item});
    sortFrom(m_records.data(), m_records.data() + m_records.size(), 8);
    for (qsizetype index = 0; index < end - begin; ++index)
        begin[index].item = m_records[size_t(index)].item;
}

inline bool TieResolver::deepen(TieRecord *begin, TieRecord *end, qsizetype depth)
{
    m_weights.resize(size_t(depth + windowBytes));
    quint8 *const window = m_weights.data() + depth;
    // The last few records whose weights ended in their window, while their texts are at
    // hand: a record of the same text takes the item of the first, so that telling equal
    // texts apart later compares addresses rather than reading items again.
    std::array<const TieRecord *, 4> ended{};
    size_t nextEnded = 0;
    for (TieRecord *record = begin; record != end; ++record) {
        if (end - record > prefetchDistance)
            platform::prefetch(record[prefetchDistance].item);
        const qsizetype length =
            m_collation.writeDeepWeights(*record->item, m_weights.data(), depth + windowBytes);
        if (length < 0)
            return false;
        // Zeros after the weights, and the words read straight from where they lie.
        std::memset(window + std::max<qsizetype>(length - depth, 0), 0,
                    size_t(windowBytes - std::clamp<qsizetype>(length - depth, 0, windowBytes)));
        for (size_t word = 0; word < record->window.size(); ++word)
            record->window[word] = qFromBigEndian<quint64>(window + 8 * word);
        if (length >= depth + windowBytes)
            continue;
        const auto same = std::find_if(ended.begin(), ended.end(), [&](const TieRecord *other) {
            return other && other->sameWindow(*record) && other->item->sameAs(*record->item);
        });
        if (same != ended.end())
            record->item = (*same)->item;
        else
            ended[nextEnded++ % ended.size()] = record;
    }
    return true;
}

inline void TieResolver::sortFrom(TieRecord *begin, TieRecord *end, qsizetype depth)
{
    if (depth > deepest || !deepen(begin, end, depth)) {
        sortFully(begin, end);
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
            if (run->weightsGoOn())
                sortFrom(run, runEnd, depth + windowBytes);
            else
                sortEqualWeights(run, runEnd);
        }
        run = runEnd;
    }
}

void TieResolver::sortEqualWeights(TieRecord *begin, TieRecord *end)
{
    m_textOf.clear();
    m_texts.clear();
    // Each record's window is no longer needed: its first word becomes its text's number.
    // The distinct texts are usually few, found fastest by comparing with each; many
    // are found by hash.
    constexpr size_t fewTexts = 8;
    for (TieRecord *record = begin; record != end; ++record) {
        if (end - record > prefetchDistance)
            platform::prefetch(record[prefetchDistance].item);
        size_t number = 0;
        if (m_texts.size() <= fewTexts) {
            // Most records of a text hold its first item already: no need to read theirs.
            while (number < m_texts.size() && m_texts[number].item != record->item)
                ++number;
            if (number == m_texts.size())
                number = 0;
            while (number < m_texts.size() && m_texts[number].item != record->item &&
                   !m_texts[number].item->sameAs(*record->item))
                ++number;
            if (number == m_texts.size())
                m_texts.push_back({record->item, 0});
            if (m_texts.size() > fewTexts) {
                for (size_t known = 0; known < m_texts.size(); ++known)
                    m_textOf.insert(m_texts[known].item->utf8(), qsizetype(known));
            }
        } else {
            const QByteArrayView text = record->item->utf8();
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
    m_keyed.clear();
    for (const Text &text : m_texts)
        m_keyed.push_back(text.item);
    if (!orderByKeys(m_order)) {
        std::sort(m_order.begin(), m_order.end(), [this](qsizetype a, qsizetype b) {
            return m_collation.compareFully(*m_texts[size_t(a)].item, *m_texts[size_t(b)].item) < 0;
        });
    }
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

void TieResolver::sortFully(TieRecord *begin, TieRecord *end)
{
    m_keyed.clear();
    for (TieRecord *record = begin; record != end; ++record)
        m_keyed.push_back(record->item);
    m_order.resize(m_keyed.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    if (!orderByKeys(m_order)) {
        std::sort(begin, end, [this](const TieRecord &a, const TieRecord &b) {
            return m_collation.compareTied(*a.item, *b.item) < 0;
        });
        return;
    }
    for (size_t index = 0; index < m_order.size(); ++index)
        begin[index].item = m_keyed[size_t(m_order[index])];
}

bool TieResolver::orderByKeys(std::vector<qsizetype> &order)
{
    if (std::none_of(m_keyed.begin(), m_keyed.end(),
                     [](const Item *item) { return item->utf8().size() > longText; }))
        return false;
    m_keys.clear();
    qint64 taken = 0;
    bool fits = true;
    for (const Item *item : m_keyed) {
        m_keys.push_back(m_collation.fullKey(*item));
        taken += m_keys.back().capacity();
        if (!takeKeyMemory(m_keys.back().capacity())) {
            taken -= m_keys.back().capacity();
            fits = false;
            break;
        }
    }
    if (fits) {
        std::sort(order.begin(), order.end(), [this](qsizetype a, qsizetype b) {
            const int byKey = m_keys[size_t(a)].compare(m_keys[size_t(b)]);
            return byKey != 0
                       ? byKey < 0
                       : Collation::codeUnitOrder(*m_keyed[size_t(a)], *m_keyed[size_t(b)]) < 0;
        });
    }
    m_keys.clear();
    keyMemoryUsed.fetch_sub(taken);
    return fits;
}
