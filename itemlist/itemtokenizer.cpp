#include "itemtokenizer.h"

#include "itembatch.h"

namespace
{
bool isLineEnd(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// The first line end or stop character at or after from, or end.
const char16_t *findStop(const char16_t *from, const char16_t *end, char16_t stop)
{
    while (from < end && *from != stop && !isLineEnd(*from))
        ++from;
    return from;
}

QStringView withoutTrailingBlanks(QStringView text, qsizetype keep)
{
    qsizetype length = text.size();
    while (length > keep && isBlank(text[length - 1].unicode()))
        --length;
    return text.first(length);
}
} // namespace

void ItemTokenizer::feed(QStringView text, ItemBatch &items)
{
    const char16_t *next = text.utf16();
    const char16_t *const end = next + text.size();
    while (next < end) {
        const char16_t c = *next;
        if (m_afterCarriageReturn) {
            m_afterCarriageReturn = false;
            if (c == u'\n') {
                ++next;
                continue;
            }
        }
        if (isLineEnd(c)) {
            endItem(items);
            m_lineStarted = false;
            m_afterCarriageReturn = c == u'\r';
            ++next;
            continue;
        }
        m_lineStarted = true;
        switch (m_state) {
        case State::BeforeItem:
            if (isBlank(c)) {
                ++next;
            } else if (c == u'"') {
                m_state = State::Quoted;
                ++next;
            } else if (c == u',') {
                endItem(items);
                ++next;
            } else {
                m_state = State::Unquoted;
            }
            break;
        case State::Unquoted:
        case State::AfterQuote: {
            const char16_t *stop = findStop(next, end, u',');
            if (stop == end) {
                m_item.append(QStringView(next, stop));
            } else if (m_item.isEmpty()) {
                // The whole item lies in this piece: no need to copy it twice.
                items.append(withoutTrailingBlanks(QStringView(next, stop), 0));
                m_state = State::BeforeItem;
                m_lineStarted = *stop == u',';
                m_afterCarriageReturn = *stop == u'\r';
                ++stop;
            } else {
                m_item.append(QStringView(next, stop));
                if (*stop == u',') {
                    endItem(items);
                    ++stop;
                }
            }
            next = stop;
            break;
        }
        case State::Quoted: {
            const char16_t *stop = findStop(next, end, u'"');
            m_item.append(QStringView(next, stop));
            if (stop < end && *stop == u'"') {
                m_state = State::QuoteInQuoted;
                ++stop;
            }
            next = stop;
            break;
        }
        case State::QuoteInQuoted:
            if (c == u'"') {
                m_item.append(u'"');
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
    items.append(withoutTrailingBlanks(m_item, quoted ? m_item.size() : m_keep));
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
