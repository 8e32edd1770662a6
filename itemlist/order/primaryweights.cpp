#include "order/primaryweights.h"

#include <QtEndian>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <functional>
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
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<USet, decltype(&uset_close)> set(uset_openEmpty(), uset_close);
    ucol_getContractionsAndExpansions(collator, set.get(), nullptr, true, &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("cannot list the collation's contractions: ") +
                                 u_errorName(status));
    for (int32_t item = 0; item < uset_getItemCount(set.get()); ++item) {
        UChar32 start, end;
        std::u16string text(64, u'\0');
        const int32_t length = uset_getItem(set.get(), item, &start, &end,
                                            reinterpret_cast<UChar *>(text.data()), 64, &status);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("cannot read the collation's contractions: ") +
                                     u_errorName(status));
        text.resize(size_t(std::max(length, 0)));
        if (length > 1 &&
            std::all_of(text.begin(), text.end(), [&](char16_t c) { return c < below; }))
            found.push_back(text);
    }
    return found;
}

bool isAsciiDigit(quint8 byte)
{
    return byte >= '0' && byte <= '9';
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

inline PrimaryWeights::Weight PrimaryWeights::contractionWeight(char32_t head, const quint8 *&next,
                                                                const quint8 *end) const
{
    // The characters after head, as far as a contraction could reach: ASCII letters.
    std::array<char16_t, longestTail> following{};
    qsizetype count = 0;
    while (count < longestTail && next + count < end && next[count] < 0x80) {
        following[size_t(count)] = next[count];
        ++count;
    }
    const auto [first, last] = m_contractionRange[head];
    for (quint16 index = first; index < last; ++index) {
        const Contraction &contraction = m_contractions[index];
        if (contraction.tailLength <= count &&
            std::equal(contraction.tail.begin(), contraction.tail.begin() + contraction.tailLength,
                       following.begin())) {
            next += contraction.tailLength;
            return contraction.weight;
        }
    }
    return m_weights[head];
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
            if (weight.startsContraction)
                weight = contractionWeight(c, next, end);
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
