#include "listfile/format/itemtokenizer.h"

#include "listfile/format/listformat.h"

#include "storage/itembatch.h"
#include "storage/utf8.h"

#include <QtEndian>

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
using listformat::isBlank;
using listformat::isLineEnd;

// The first line end or stop character at or after from, or end. Looks at sixteen bytes at
// a time where the processor can, else eight: items are mostly runs of ordinary characters.
const char *findStop(const char *from, const char *end, char stop)
{
#if defined(__SSE2__)
    const __m128i stops = _mm_set1_epi8(stop);
    const __m128i carriageReturns = _mm_set1_epi8('\r');
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        const __m128i found = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, stops), _mm_cmpeq_epi8(bytes, carriageReturns)),
            _mm_cmpeq_epi8(bytes, lineFeeds));
        if (const int mask = _mm_movemask_epi8(found))
            return from + std::countr_zero(unsigned(mask));
    }
#endif
    constexpr quint64 ones = 0x0101010101010101;
    constexpr quint64 highs = 0x8080808080808080;
    const auto hasByte = [](quint64 word, char byte) {
        const quint64 v = word ^ (ones * quint8(byte));
        return (v - ones) & ~v & highs; // the lowest set bit marks the first match
    };
    for (; end - from >= 8; from += 8) {
        const auto word = qFromLittleEndian<quint64>(from);
        if (const quint64 found = hasByte(word, stop) | hasByte(word, '\r') | hasByte(word, '\n'))
            return from + std::countr_zero(found) / 8;
    }
    while (from < end && *from != stop && !isLineEnd(*from))
        ++from;
    return from;
}

QByteArrayView withoutTrailingBlanks(QByteArrayView text, qsizetype keep)
{
    qsizetype length = text.size();
    while (length > keep && isBlank(text[length - 1]))
        --length;
    return text.first(length);
}

} // namespace

void ItemTokenizer::append(QByteArrayView item, ItemBatch &items)
{
    if (!m_mayHoldLoneSurrogates || !holdsLoneSurrogate(item)) {
        items.appendUtf8(item, false);
        return;
    }
    // Text after a closing quote can complete a surrogate pair cut by the quote: the item's
    // text is made again from its UTF-16, so that such a pair is one character as elsewhere.
    QString utf16;
    appendUtf16(item, utf16);
    QByteArray wtf8;
    const bool loneSurrogates = appendWtf8(utf16, wtf8);
    items.appendUtf8(wtf8, loneSurrogates);
}

void ItemTokenizer::appendToItem(QByteArrayView text)
{
    // Room grown by reserve() is reallocated, which the system does in place for a large
    // block; append() would copy the item to a new block, which takes it twice over.
    if (m_item.size() + text.size() > m_item.capacity())
        m_item.reserve(std::max(m_item.capacity() * 2, m_item.size() + text.size()));
    m_item.append(text);
}

void ItemTokenizer::feed(QByteArrayView text, ItemBatch &items)
{
    const char *next = text.data();
    const char *const end = next + text.size();
    while (next < end) {
        const char c = *next;
        if (m_afterCarriageReturn) {
            m_afterCarriageReturn = false;
            if (c == '\n') {
                ++next;
                continue;
            }
        }
        if (isLineEnd(c)) {
            endItem(items);
            m_lineStarted = false;
            m_afterCarriageReturn = c == '\r';
            ++next;
            continue;
        }
        m_lineStarted = true;
        switch (m_state) {
        case State::BeforeItem:
            if (isBlank(c)) {
                ++next;
                break;
            }
            if (c == '"') {
                m_state = State::Quoted;
                ++next;
                break;
            }
            if (c == ',') {
                endItem(items);
                ++next;
                break;
            }
            m_state = State::Unquoted;
            [[fallthrough]];
        case State::Unquoted:
        case State::AfterQuote: {
            const char *stop = findStop(next, end, ',');
            if (stop == end) {
                appendToItem(QByteArrayView(next, stop));
            } else if (m_item.isEmpty()) {
                // The whole item lies in this piece: no need to copy it twice.
                append(withoutTrailingBlanks(QByteArrayView(next, stop), 0), items);
                m_state = State::BeforeItem;
                m_lineStarted = *stop == ',';
                m_afterCarriageReturn = *stop == '\r';
                ++stop;
                // Most lines end in CR LF: both go at once.
                if (m_afterCarriageReturn && stop < end && *stop == '\n') {
                    m_afterCarriageReturn = false;
                    ++stop;
                }
            } else {
                appendToItem(QByteArrayView(next, stop));
                if (*stop == ',') {
                    endItem(items);
                    ++stop;
                }
            }
            next = stop;
            break;
        }
        case State::Quoted: {
            const char *stop = findStop(next, end, '"');
            appendToItem(QByteArrayView(next, stop));
            if (stop < end && *stop == '"') {
                m_state = State::QuoteInQuoted;
                ++stop;
            }
            next = stop;
            break;
        }
        case State::QuoteInQuoted:
            if (c == '"') {
                m_item.append('"');
                m_state = State::Quoted;
                ++next;
            } else {
                m_keep = m_item.size();
                m_state = State::AfterQuote;
            }
            break;
        }
    }
}

void ItemTokenizer::endItem(ItemBatch &items)
{
    const bool quoted = m_state == State::Quoted || m_state == State::QuoteInQuoted;
    const QByteArrayView item = withoutTrailingBlanks(m_item, quoted ? m_item.size() : m_keep);
    // A huge item, which a long line gives a piece at a time, moves into the items' memory
    // rather than being copied there whole.
    if (item.size() >= (1 << 20) && !(m_mayHoldLoneSurrogates && holdsLoneSurrogate(item)))
        items.appendTakingUtf8(std::move(m_item), item.size());
    else
        append(item, items);
    m_item.clear();
    m_keep = 0;
    m_state = State::BeforeItem;
}

void ItemTokenizer::finish(ItemBatch &items)
{
    if (m_lineStarted)
        endItem(items);
    m_lineStarted = false;
    m_afterCarriageReturn = false;
}
