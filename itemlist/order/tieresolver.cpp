#include "order/tieresolver.h"

#include "order/collation.h"
#include "platform.h"

#include <QtEndian>

#include <algorithm>
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

inline std::optional<std::array<quint64, 4>> TieResolver::window(const Item &item, qsizetype depth)
{
    m_weights.resize(size_t(depth + windowBytes));
    const qsizetype length =
        m_collation.writeDeepWeights(item, m_weights.data(), depth + windowBytes);
    if (length < 0)
        return std::nullopt;
    quint8 bytes[windowBytes] = {};
    if (length > depth)
        std::memcpy(bytes, m_weights.data() + depth, size_t(std::min(length - depth, windowBytes)));
    std::array<quint64, 4> words;
    for (size_t word = 0; word < words.size(); ++word)
        words[word] = qFromBigEndian<quint64>(bytes + 8 * word);
    return words;
}

inline bool TieResolver::deepen(TieRecord *begin, TieRecord *end, qsizetype depth)
{
    for (TieRecord *record = begin; record != end; ++record) {
        if (end - record > prefetchDistance)
            platform::prefetch(record[prefetchDistance].item);
        const auto deeper = window(*record->item, depth);
        if (!deeper)
            return false;
        record->window = *deeper;
    }
    return true;
}

inline void TieResolver::sortFrom(TieRecord *begin, TieRecord *end, qsizetype depth)
{
    if (depth > deepest || !deepen(begin, end, depth)) {
        std::sort(begin, end, [this](const TieRecord &a, const TieRecord &b) {
            return m_collation.compareTied(*a.item, *b.item) < 0;
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
