#include "order/linearform.h"

#include "order/canonicalorder.h"
#include "order/contractiontexts.h"
#include "storage/item.h"
#include "storage/utf8.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <numeric>
#include <set>
#include <string>

namespace
{
// The texts of two or more characters in the collator's contractions, with its prefix
// mappings (a character and the text before it that changes its weights) or without.
std::set<std::u32string> contextTexts(const UCollator *collator, bool withPrefixes)
{
    std::set<std::u32string> texts;
    for (const std::u16string &units : contractionTexts(collator, withPrefixes)) {
        std::u32string text;
        const auto length = int32_t(units.size());
        for (int32_t index = 0; index < length;) {
            UChar32 c;
            U16_NEXT(units.data(), index, length, c);
            text.push_back(char32_t(c));
        }
        if (text.size() > 1)
            texts.insert(text);
    }
    return texts;
}

// Whether c alone has no collation elements at all, so that it changes no text it is put in.
bool completelyIgnorable(const UCollator *collator, char16_t c)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements *elements =
        ucol_openElements(collator, reinterpret_cast<const UChar *>(&c), 1, &status);
    bool ignorable = U_SUCCESS(status);
    for (int32_t element; ignorable && (element = ucol_next(elements, &status)) != UCOL_NULLORDER;)
        ignorable = element == 0 && U_SUCCESS(status);
    ucol_closeElements(elements);
    return ignorable;
}

void appendCharacter(char32_t c, QString &out)
{
    if (c < 0x10000) {
        out.append(QChar(char16_t(c)));
    } else {
        out.append(QChar(char16_t(0xD7C0 + (c >> 10))));
        out.append(QChar(char16_t(0xDC00 | (c & 0x3FF))));
    }
}
} // namespace

// The units of a decomposed text, found as ICU's contraction matching finds them: from each
// character not yet taken, the longest contraction that follows it, then, when the
// contraction may end in a mark, the marks after it that extend it and that no mark of the
// same or a higher combining class comes between (Unicode's collation algorithm, S2.1).
// Marks in canonical order have rising classes, so that only the first of each class can
// extend a contraction: the others of its class are passed over at once.
class LinearForm::Units
{
public:
    Units(const LinearForm &form, std::vector<char32_t> text)
        : m_form(form), m_text(std::move(text)), m_leading(m_text.size()),
          m_trailing(m_text.size()), m_following(m_text.size() + 1), m_groupEnd(m_text.size())
    {
        const auto size = qint32(m_text.size());
        for (qint32 index = 0; index < size; ++index) {
            const quint16 classes = fcdClasses(m_text[size_t(index)]);
            m_leading[size_t(index)] = quint8(classes >> 8);
            m_trailing[size_t(index)] = quint8(classes);
        }
        std::iota(m_following.begin(), m_following.end(), 0);
        for (qint32 index = size - 1; index >= 0; --index)
            m_groupEnd[size_t(index)] =
                index + 1 < size && m_leading[size_t(index)] != 0 &&
                        m_leading[size_t(index + 1)] == m_leading[size_t(index)]
                    ? m_groupEnd[size_t(index + 1)]
                    : index + 1;
    }

    // Appends the units to out; false when a unit's weights would change.
    bool write(QString &out)
    {
        m_out = &out;
        m_outStart = out.size();
        const auto size = qint32(m_text.size());
        std::vector<qint32> unit;
        for (qint32 start = next(0); start < size; start = next(start + 1)) {
            take(start);
            unit.assign(1, start);
            extend(unit);
            if (!sameContext(start))
                return false;
            if (m_leading[size_t(start)] != 0)
                appendCharacter(m_form.m_separator, out);
            for (const qint32 index : unit)
                appendCharacter(m_text[size_t(index)], out);
        }
        return true;
    }

private:
    // The first character at or after index that no unit has taken.
    qint32 next(qint32 index)
    {
        qint32 root = index;
        while (m_following[size_t(root)] != root)
            root = m_following[size_t(root)];
        while (m_following[size_t(index)] != root)
            index = std::exchange(m_following[size_t(index)], root);
        return root;
    }
    void take(qint32 index) { m_following[size_t(index)] = index + 1; }

    // Adds to unit, which holds its first character, the characters its contraction takes.
    void extend(std::vector<qint32> &unit)
    {
        const auto size = qint32(m_text.size());
        const qint32 first = m_form.child(0, m_text[size_t(unit.front())]);
        if (first < 0)
            return;
        qint32 matched = first;
        qint32 node = first;
        std::vector<qint32> pending; // read past the last match
        for (qint32 index = next(unit.front() + 1); index < size; index = next(index + 1)) {
            node = m_form.child(node, m_text[size_t(index)]);
            if (node < 0)
                break;
            pending.push_back(index);
            if (m_form.m_nodes[size_t(node)].complete) {
                matched = node;
                for (const qint32 taken : pending) {
                    take(taken);
                    unit.push_back(taken);
                }
                pending.clear();
                if (!m_form.m_nodes[size_t(node)].continues)
                    return;
            }
        }
        if (!m_form.m_nodes[size_t(first)].takesMarks)
            return;
        // Marks after the contraction: the first one is passed over, since it did not
        // extend it, and the search ends at the next character that is not a mark.
        const qint32 passed = next(unit.back() + 1);
        if (passed == size || m_leading[size_t(passed)] == 0)
            return;
        quint8 blocking = m_trailing[size_t(passed)];
        for (qint32 index = next(passed + 1); index < size && m_leading[size_t(index)] != 0;) {
            const qint32 longer = blocking < m_leading[size_t(index)]
                                      ? m_form.child(matched, m_text[size_t(index)])
                                      : -1;
            if (longer >= 0 && m_form.m_nodes[size_t(longer)].complete) {
                matched = longer;
                take(index);
                unit.push_back(index);
                if (!m_form.m_nodes[size_t(matched)].continues)
                    return;
                index = next(index + 1);
            } else {
                // The rest of its class cannot extend the contraction past it.
                blocking = m_trailing[size_t(index)];
                index = next(m_groupEnd[size_t(index)]);
            }
        }
    }

    // Whether the character at start, when its weights depend on the text before it, has
    // the same text before it in the form as in the decomposed text.
    bool sameContext(qint32 start) const
    {
        const auto found = m_form.m_contexts.find(m_text[size_t(start)]);
        if (found == m_form.m_contexts.end())
            return true;
        // The longest of the texts that change its weights that the text before it ends
        // with, read backwards from end by previous.
        const auto longestMatch = [&](auto previous, qsizetype end) {
            const std::u32string *longest = nullptr;
            for (const std::u32string &context : found->second) {
                qsizetype at = end;
                bool matches = true;
                for (auto c = context.rbegin(); matches && c != context.rend(); ++c)
                    matches = previous(at) == *c;
                if (matches && (!longest || context.size() > longest->size()))
                    longest = &context;
            }
            return longest;
        };
        const auto inText = [&](qsizetype &at) { return at > 0 ? m_text[size_t(--at)] : 0; };
        const auto inForm = [&](qsizetype &at) -> char32_t {
            if (at == m_outStart)
                return 0;
            const char16_t unit = (*m_out)[--at].unicode();
            if (QChar::isLowSurrogate(unit) && at > m_outStart &&
                (*m_out)[at - 1].isHighSurrogate())
                return QChar::surrogateToUcs4((*m_out)[--at].unicode(), unit);
            return unit;
        };
        return longestMatch(inText, start) == longestMatch(inForm, m_out->size());
    }

    const LinearForm &m_form;
    std::vector<char32_t> m_text;
    // The combining classes of each character's first and last part, as ICU reads them.
    std::vector<quint8> m_leading;
    std::vector<quint8> m_trailing;
    // Union-find of the characters taken: each leads to the next one not taken.
    std::vector<qint32> m_following;
    // For a mark, the end of the marks of its class that follow it.
    std::vector<qint32> m_groupEnd;
    const QString *m_out = nullptr;
    qsizetype m_outStart = 0;
};

std::shared_ptr<const LinearForm> LinearForm::of(const UCollator *collator,
                                                 const QByteArray &locale)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const LinearForm>> forms;
    const std::lock_guard lock(mutex);
    std::shared_ptr<const LinearForm> &form = forms[locale];
    if (!form)
        form.reset(new LinearForm(collator));
    return form;
}

LinearForm::LinearForm(const UCollator *collator)
{
    const std::set<std::u32string> contractions = contextTexts(collator, false);
    std::set<char32_t> inContexts;
    for (const std::u32string &text : contractions) {
        addContraction(text);
        inContexts.insert(text.begin(), text.end());
        m_continuing.insert(text.begin() + 1, text.end());
    }
    // Prefix mappings are listed as the text before and the character, and the contraction
    // the character may start after it; which of those characters is the one mapped is not
    // said, so each is taken to depend on the text before it.
    for (const std::u32string &text : contextTexts(collator, true)) {
        if (contractions.contains(text))
            continue;
        inContexts.insert(text.begin(), text.end());
        m_continuing.insert(text.begin() + 1, text.end());
        for (size_t index = 1; index < text.size(); ++index)
            m_contexts[text[index]].push_back(text.substr(0, index));
    }
    for (char16_t c = 1; c < 0x20 && !m_usable; ++c) {
        if (!inContexts.contains(c) && completelyIgnorable(collator, c)) {
            m_separator = c;
            m_usable = true;
        }
    }
}

qint32 LinearForm::child(qint32 node, char32_t c) const
{
    const auto found = m_children.find((quint64(quint32(node)) << 32) | c);
    return found == m_children.end() ? -1 : found->second;
}

void LinearForm::addContraction(const std::u32string &text)
{
    qint32 node = 0;
    for (const char32_t c : text) {
        qint32 next = child(node, c);
        if (next < 0) {
            next = qint32(m_nodes.size());
            m_nodes.emplace_back();
            m_children.emplace((quint64(quint32(node)) << 32) | c, next);
        }
        m_nodes[size_t(node)].continues = true;
        node = next;
    }
    m_nodes[size_t(node)].complete = true;
    // The first character is a match on its own, and takes marks when one of its
    // contractions ends in one.
    const qint32 first = child(0, text.front());
    m_nodes[size_t(first)].complete = true;
    if (u_getIntPropertyValue(UChar32(text.back()), UCHAR_LEAD_CANONICAL_COMBINING_CLASS) != 0)
        m_nodes[size_t(first)].takesMarks = true;
}

bool LinearForm::needed(QByteArrayView wtf8)
{
    // Each of the marks takes at least two bytes.
    if (wtf8.size() <= 2 * longestRun)
        return false;
    qsizetype run = 0;
    bool found = false;
    forEachCharacter(wtf8, [&](char32_t c) {
        // Nothing below U+0300 starts with a combining mark.
        if (c >= 0x300 && u_getIntPropertyValue(UChar32(c), UCHAR_LEAD_CANONICAL_COMBINING_CLASS))
            found = ++run > longestRun;
        else
            run = 0;
        return !found;
    });
    return found;
}

bool LinearForm::startsPart(char32_t c) const
{
    return (fcdClasses(c) >> 8) == 0 && !m_continuing.contains(c);
}

QString LinearForm::write(QByteArrayView wtf8) const
{
    QString form;
    if (!m_usable) {
        appendUtf16(wtf8, form);
        return form;
    }
    form.reserve(wtf8.size() + wtf8.size() / 4);
    const auto *const begin = reinterpret_cast<const quint8 *>(wtf8.data());
    const quint8 *const end = begin + wtf8.size();
    const auto bytes = [](const quint8 *from, const quint8 *to) {
        return QByteArrayView(reinterpret_cast<const char *>(from), to - from);
    };
    const auto before = [](const quint8 *at) {
        do
            --at;
        while ((*at & 0xC0) == 0x80);
        return at;
    };
    const quint8 *written = begin; // the text before it is in form
    const quint8 *runStart = begin;
    qsizetype run = 0;
    for (const quint8 *at = begin; at < end || run > 0;) {
        const quint8 *const here = at;
        if (at < end && (fcdClasses(takeCharacter(at)) >> 8) != 0) {
            if (run++ == 0)
                runStart = here;
            continue;
        }
        if (run > longestRun) {
            // The run, from the last character before it that nothing before it joins to the
            // first one after it that nothing before it joins, goes in form; the rest as it is.
            const quint8 *first = runStart;
            while (first > written) {
                first = before(first);
                const quint8 *read = first;
                if (startsPart(takeCharacter(read)))
                    break;
            }
            const quint8 *last = here;
            for (const quint8 *read = last; last < end && !startsPart(takeCharacter(read));)
                last = read;
            appendUtf16(bytes(written, first), form);
            writePart(bytes(first, last), form);
            written = last;
            at = last;
        }
        run = 0;
    }
    appendUtf16(bytes(written, end), form);
    return form;
}

void LinearForm::writePart(QByteArrayView wtf8, QString &form) const
{
    const qsizetype start = form.size();
    std::vector<char32_t> characters;
    characters.reserve(size_t(wtf8.size()));
    forEachCharacter(wtf8, [&](char32_t c) {
        characters.push_back(c);
        return true;
    });
    // ICU takes texts of up to 2^31 - 1 code units.
    std::vector<char32_t> text = normalizedAsIcu(characters);
    std::vector<char32_t>().swap(characters);
    if (text.size() < size_t(std::numeric_limits<qint32>::max() / 2)) {
        Units units(*this, std::move(text));
        if (units.write(form))
            return;
    }
    form.truncate(start);
    appendUtf16(wtf8, form);
}
