#include "order/linearform.h"

#include "order/canonicalorder.h"
#include "order/contractiontexts.h"
#include "order/linearformunits.h"
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
} // namespace

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
