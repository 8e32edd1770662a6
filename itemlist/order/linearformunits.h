#pragma once

#include "order/canonicalorder.h"
#include "order/linearform.h"

#include <QString>

#include <numeric>
#include <utility>
#include <vector>

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
    static void appendCharacter(char32_t c, QString &out)
    {
        if (c < 0x10000) {
            out.append(QChar(char16_t(c)));
        } else {
            out.append(QChar(char16_t(0xD7C0 + (c >> 10))));
            out.append(QChar(char16_t(0xDC00 | (c & 0x3FF))));
        }
    }

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
