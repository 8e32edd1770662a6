#include "order/primaryweights.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace
{
// The bytes that end a run of compressed weights in ICU's sort keys: the next lead byte is
// lower, or higher.
constexpr quint8 compressionLow = 0x03;
constexpr quint8 compressionHigh = 0xFF;

bool isAsciiDigit(quint8 byte)
{
    return byte >= '0' && byte <= '9';
}
} // namespace

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
