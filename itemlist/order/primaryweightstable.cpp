#include "order/primaryweights.h"

#include "order/contractiontexts.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{
// The byte that ends the primary weights in ICU's sort keys.
constexpr quint8 levelSeparator = 0x01;

std::string primaryBytes(const UCollator *collator, std::u16string_view text)
{
    std::vector<uint8_t> key(64);
    const int32_t length = ucol_getSortKey(collator, reinterpret_cast<const UChar *>(text.data()),
                                           int32_t(text.size()), key.data(), int32_t(key.size()));
    if (length > int32_t(key.size()))
        return std::string(64, '\0'); // longer than any one weight: never in the table
    std::string primary;
    for (int32_t index = 0; index < length && key[index] != levelSeparator; ++index)
        primary.push_back(char(key[index]));
    return primary;
}

// How many collation elements with a primary weight text maps to: more than one is an
// expansion.
int primaryCount(const UCollator *collator, std::u16string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements *elements = ucol_openElements(
        collator, reinterpret_cast<const UChar *>(text.data()), int32_t(text.size()), &status);
    if (U_FAILURE(status))
        return 2;
    int count = 0;
    for (int32_t element; (element = ucol_next(elements, &status)) != UCOL_NULLORDER;) {
        const bool continuation = (element & 0xC0) == 0xC0;
        if (!continuation && (quint32(element) >> 16) != 0)
            ++count;
    }
    ucol_closeElements(elements);
    return count;
}

// The collator's contractions and prefix mappings ("l·", Danish "aa") of characters below
// below; ICU lists a prefix mapping as the prefix and the character it changes.
std::vector<std::u16string> contractions(const UCollator *collator, char32_t below)
{
    std::vector<std::u16string> found;
    for (std::u16string &text : contractionTexts(collator, true)) {
        if (std::all_of(text.begin(), text.end(), [&](char16_t c) { return c < below; }))
            found.push_back(std::move(text));
    }
    return found;
}
} // namespace

std::shared_ptr<const PrimaryWeights> PrimaryWeights::of(const UCollator *collator,
                                                         const QByteArray &locale)
{
    // Tables stay while no collation uses them, as between listsort's warm-up and its sort.
    // One is read under the lock, so that a second caller waits for it rather than reading
    // it again.
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const PrimaryWeights>> tables;
    const std::lock_guard lock(mutex);
    std::shared_ptr<const PrimaryWeights> &table = tables[locale];
    if (!table)
        table.reset(new PrimaryWeights(collator));
    return table;
}

PrimaryWeights::PrimaryWeights(const UCollator *collator)
{
    // A lead byte is compressible when a run of weights that share it writes it only once.
    std::array<bool, 256> compressibleLead{};
    const auto weightOf = [&](const std::u16string &text) -> Weight {
        const std::string primary = primaryBytes(collator, text);
        if (primary.size() > 4 || primaryCount(collator, text) > 1)
            return {};
        quint32 weight = 0;
        for (size_t index = 0; index < 4; ++index)
            weight = (weight << 8) | (index < primary.size() ? quint8(primary[index]) : 0);
        if (primary.size() > 1)
            compressibleLead[weight >> 24] =
                primaryBytes(collator, text + text) == primary + primary.substr(1);
        return {weight, quint8(primary.size()), false, true, false};
    };
    for (char32_t c = 0; c < tableSize; ++c) {
        if (u_charType(UChar32(c)) != U_DECIMAL_DIGIT_NUMBER &&
            u_getCombiningClass(UChar32(c)) == 0 &&
            u_getIntPropertyValue(UChar32(c), UCHAR_LEAD_CANONICAL_COMBINING_CLASS) == 0)
            m_weights[c] = weightOf(std::u16string(1, char16_t(c)));
    }
    readContractions(collator, weightOf);
    for (Weight &weight : m_weights)
        weight.compressible = weight.length > 1 && compressibleLead[weight.primary >> 24];
    for (Contraction &contraction : m_contractions)
        contraction.weight.compressible =
            contraction.weight.length > 1 && compressibleLead[contraction.weight.primary >> 24];
    for (char32_t c = 0; c < m_asciiByte.size(); ++c) {
        const Weight &weight = m_weights[c];
        m_asciiByte[c] = !weight.known || weight.length > 1 || weight.startsContraction
                             ? generalCase
                             : quint8(weight.primary >> 24);
    }
    m_numericLead = quint32(quint8(primaryBytes(collator, u"0").front())) << 24;
}

void PrimaryWeights::readContractions(const UCollator *collator,
                                      const std::function<Weight(const std::u16string &)> &weightOf)
{
    std::vector<std::u16string> matched;
    std::vector<char16_t> leaving;
    for (const std::u16string &text : contractions(collator, tableSize)) {
        // Letters after the first that are ASCII are common in text, and are matched here;
        // other characters after the first leave the table, to ICU.
        const bool inTable = qsizetype(text.size()) <= 1 + longestTail &&
                             std::all_of(text.begin() + 1, text.end(),
                                         [](char16_t c) { return c < 0x80 && u_isalpha(c); }) &&
                             u_getCombiningClass(text.front()) == 0 && !u_isdigit(text.front());
        if (inTable)
            matched.push_back(text);
        else
            leaving.insert(leaving.end(), text.begin() + 1, text.end());
    }
    // Longest first for each first character, so that the first match is ICU's.
    std::sort(matched.begin(), matched.end(), [](const std::u16string &a, const std::u16string &b) {
        return a.front() != b.front() ? a.front() < b.front() : a.size() > b.size();
    });
    for (const std::u16string &text : matched) {
        auto &[begin, end] = m_contractionRange[text.front()];
        if (begin == end)
            begin = end = quint16(m_contractions.size());
        ++end;
        Contraction contraction{{}, qsizetype(text.size() - 1), weightOf(text)};
        std::copy(text.begin() + 1, text.end(), contraction.tail.begin());
        m_contractions.push_back(contraction);
        m_weights[text.front()].startsContraction = true;
    }
    // A character that may end a contraction that the table does not match always needs ICU.
    for (const char16_t c : leaving)
        m_weights[c] = {};
}
