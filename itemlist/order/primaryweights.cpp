#include "order/primaryweights.h"

#include <QtEndian>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
// ICU's sort key bytes that are never weights.
constexpr quint8 levelSeparator = 0x01;
constexpr quint8 compressionLow = 0x03;
constexpr quint8 compressionHigh = 0xFF;

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

// How many collation elements with a primary weight c maps to: more than one is an expansion.
int primaryCount(const UCollator *collator, char16_t c)
{
    UErrorCode status = U_ZERO_ERROR;
    const UChar text[] = {c};
    UCollationElements *elements = ucol_openElements(collator, text, 1, &status);
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

// Characters that can change the weights of the characters before them, because they end a
// contraction ("l·") or a prefix mapping that the table's characters could start.
std::vector<bool> contractionTails(const UCollator *collator, char32_t below)
{
    std::vector<bool> tails(below);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<USet, decltype(&uset_close)> contractions(uset_openEmpty(), uset_close);
    ucol_getContractionsAndExpansions(collator, contractions.get(), nullptr, true, &status);
    if (U_FAILURE(status))
        return std::vector<bool>(below, true);
    for (int32_t item = 0; item < uset_getItemCount(contractions.get()); ++item) {
        UChar32 start, end;
        UChar text[64];
        const int32_t length =
            uset_getItem(contractions.get(), item, &start, &end, text, 64, &status);
        bool possible = length > 0;
        for (int32_t index = 0; index < length; ++index)
            possible = possible && text[index] < below;
        for (int32_t index = 1; possible && index < length; ++index)
            tails[text[index]] = true;
    }
    return tails;
}

bool isAsciiDigit(quint8 byte)
{
    return byte >= '0' && byte <= '9';
}
} // namespace

std::shared_ptr<const PrimaryWeights> PrimaryWeights::of(const UCollator *collator)
{
    // The collation's data is named by the locale it came from, with any collation keyword:
    // "root" for the root and for the many locales that keep its order. Every Collation
    // sets the same attributes, so that name alone tells tables apart.
    UErrorCode status = U_ZERO_ERROR;
    const char *locale = ucol_getLocaleByType(collator, ULOC_ACTUAL_LOCALE, &status);
    if (U_FAILURE(status) || !locale)
        throw std::runtime_error(std::string("cannot name the collation's locale: ") +
                                 u_errorName(status));
    // Tables stay while no collation uses them, as between listsort's warm-up and its sort.
    // One is read under the lock, so that a second caller waits for it rather than reading
    // it again.
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const PrimaryWeights>> tables;
    const std::lock_guard lock(mutex);
    std::shared_ptr<const PrimaryWeights> &table = tables[locale];
    if (!table)
        table.reset(new PrimaryWeights(collator));
    return table;
}

PrimaryWeights::PrimaryWeights(const UCollator *collator)
{
    const std::vector<bool> tails = contractionTails(collator, tableSize);
    for (char32_t c = 0; c < tableSize; ++c) {
        if (tails[c] || u_charType(UChar32(c)) == U_DECIMAL_DIGIT_NUMBER ||
            u_getCombiningClass(UChar32(c)) != 0 ||
            u_getIntPropertyValue(UChar32(c), UCHAR_LEAD_CANONICAL_COMBINING_CLASS) != 0 ||
            primaryCount(collator, char16_t(c)) > 1)
            continue;
        const std::string primary = primaryBytes(collator, std::u16string(1, char16_t(c)));
        if (primary.size() > 4)
            continue;
        quint32 weight = 0;
        for (size_t index = 0; index < 4; ++index)
            weight = (weight << 8) | (index < primary.size() ? quint8(primary[index]) : 0);
        m_weights[c] = {weight, quint8(primary.size()), false, true};
    }
    // A lead byte is compressible when a run of weights that share it writes it only once.
    std::array<bool, 256> compressibleLead{};
    for (char32_t c = 0; c < tableSize; ++c) {
        const Weight &weight = m_weights[c];
        if (weight.known && weight.length > 1) {
            const std::string one = primaryBytes(collator, std::u16string(1, char16_t(c)));
            const std::string two = primaryBytes(collator, std::u16string(2, char16_t(c)));
            compressibleLead[weight.primary >> 24] = two == one + one.substr(1);
        }
    }
    for (Weight &weight : m_weights)
        weight.compressible = weight.length > 1 && compressibleLead[weight.primary >> 24];
    for (char32_t c = 0; c < m_asciiByte.size(); ++c) {
        const Weight &weight = m_weights[c];
        m_asciiByte[c] =
            !weight.known || weight.length > 1 ? generalCase : quint8(weight.primary >> 24);
    }
    m_numericLead = quint32(quint8(primaryBytes(collator, u"0").front())) << 24;
}

inline PrimaryWeights::Weight PrimaryWeights::numberWeight(const quint8 *&next,
                                                           const quint8 *end) const
{
    // Leading zeros do not count.
    const quint8 *digit = next;
    while (digit < end && *digit == '0')
        ++digit;
    const quint8 *runEnd = digit;
    while (runEnd < end && isAsciiDigit(*runEnd))
        ++runEnd;
    next = runEnd;
    if (runEnd - digit > 7)
        return {};
    quint32 value = 0;
    for (; digit < runEnd; ++digit)
        value = value * 10 + (*digit - '0');
    // ICU's dense numeric weights: two bytes up to 73, three up to 10,233 and four up to
    // 1,042,489; larger numbers take ICU's way.
    if (value < 74)
        return {m_numericLead | ((2 + value) << 16), 2, false, true};
    if ((value -= 74) < 40 * 254)
        return {m_numericLead | ((76 + value / 254) << 16) | ((2 + value % 254) << 8), 3, false,
                true};
    if ((value -= 40 * 254) < 16 * 254 * 254)
        return {m_numericLead | ((116 + value / (254 * 254)) << 16) |
                    ((2 + value / 254 % 254) << 8) | (2 + value % 254),
                4, false, true};
    return {};
}

qsizetype PrimaryWeights::write(QByteArrayView utf8, quint8 *out, qsizetype capacity) const
{
    const auto *next = reinterpret_cast<const quint8 *>(utf8.data());
    const quint8 *const end = next + utf8.size();
    qsizetype written = 0;
    quint32 previousCompressible = 0;
    while (next < end) {
        // Most text is ASCII letters and spaces, each one byte of weight on its own.
        if (previousCompressible == 0) {
            while (next < end && written < capacity && *next < 0x80) {
                const quint8 byte = m_asciiByte[*next];
                if (byte == generalCase)
                    break;
                if (byte != 0)
                    out[written++] = byte;
                ++next;
            }
            if (next == end)
                break;
        }
        if (written >= capacity) {
            // Only a character outside the table can change the weights before it.
            if (*next < 0x80)
                return m_weights[*next].known || isAsciiDigit(*next) ? capacity : -1;
            if (*next < 0xE0 && next + 1 < end)
                return m_weights[((*next & 0x1F) << 6) | (next[1] & 0x3F)].known ? capacity : -1;
            return -1;
        }
        Weight weight;
        if (isAsciiDigit(*next)) {
            weight = numberWeight(next, end);
            if (!weight.known)
                return -1;
        } else {
            char32_t c = *next;
            if (c < 0x80) {
                ++next;
            } else if (c >= 0xC2 && c < 0xE0 && next + 1 < end) {
                c = ((c & 0x1F) << 6) | (next[1] & 0x3F);
                next += 2;
            } else {
                return -1;
            }
            weight = m_weights[c];
            if (!weight.known)
                return -1;
            if (weight.length == 0)
                continue; // ignorable
        }

        // The weight's bytes as ICU's sort key writer joins them: a lead byte shared with the
        // weight before is left out when compressible, and leaving such a run writes a byte
        // that says whether the next lead is lower or higher.
        const auto lead = quint8(weight.primary >> 24);
        const bool writeLead = !weight.compressible || lead != quint8(previousCompressible >> 24);
        if (capacity - written >= 8) {
            // Room for any weight: its bytes go straight to out, the tail in one store.
            if (writeLead) {
                if (previousCompressible != 0)
                    out[written++] =
                        weight.primary < previousCompressible ? compressionLow : compressionHigh;
                out[written++] = lead;
            }
            qToBigEndian<quint32>(weight.primary << 8, out + written);
            written += weight.length - 1;
        } else {
            quint8 bytes[8];
            qsizetype length = 0;
            if (writeLead) {
                if (previousCompressible != 0)
                    bytes[length++] =
                        weight.primary < previousCompressible ? compressionLow : compressionHigh;
                bytes[length++] = lead;
            }
            for (int index = 1; index < weight.length; ++index)
                bytes[length++] = quint8(weight.primary >> (24 - 8 * index));
            for (qsizetype index = 0; index < length && written < capacity; ++index)
                out[written++] = bytes[index];
        }
        if (writeLead)
            previousCompressible = weight.compressible ? weight.primary : 0;
    }
    return written;
}
