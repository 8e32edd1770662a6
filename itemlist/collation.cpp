#include "collation.h"

#include "primaryweights.h"

#include <QtEndian>

#include <unicode/ucol.h>
#include <unicode/uiter.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace
{
void check(UErrorCode status, const char *what)
{
    if (U_FAILURE(status))
        throw std::runtime_error(std::string(what) + ": " + u_errorName(status));
}

UCollator *openRootCollation()
{
    UErrorCode status = U_ZERO_ERROR;
    // The empty locale name selects the root collation, the same on every machine.
    UCollator *collator = ucol_open("", &status);
    check(status, "cannot open the root collation");
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_TERTIARY, &status);
    check(status, "cannot configure the collation");
    return collator;
}

// ICU takes 32-bit lengths; a longer text is ordered by its first 2^31-1 units.
int32_t icuLength(qsizetype length)
{
    return int32_t(std::min<qsizetype>(length, std::numeric_limits<int32_t>::max()));
}

constexpr quint8 levelSeparator = 0x01;

// The first count of eight bytes as a big-endian number, zero after them.
quint64 bigEndian(quint8 (&bytes)[8], qsizetype count)
{
    std::fill(bytes + count, bytes + 8, 0);
    return qFromBigEndian<quint64>(bytes);
}
} // namespace

Collation::Collation()
    : m_collator(openRootCollation()), m_weights(PrimaryWeights::instance(m_collator))
{
}

Collation::Collation(const Collation &other) : m_weights(other.m_weights)
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_clone(other.m_collator, &status);
    check(status, "cannot copy the collation");
}

Collation::~Collation()
{
    ucol_close(m_collator);
}

quint64 Collation::keyPrefix(const Item &item) const
{
    quint8 bytes[8];
    return bigEndian(bytes, writePrimaryWeights(item, bytes, 8));
}

qsizetype Collation::writePrimaryWeights(const Item &item, quint8 *out, qsizetype capacity) const
{
    const QByteArrayView text = item.utf8();
    const qsizetype length = m_weights.write(text, out, capacity);
    if (length >= 0)
        return length;

    // The sort key begins with the primary weights, up to the level separator.
    UCharIterator iterator;
    QString utf16;
    if (item.hasLoneSurrogates()) {
        utf16 = item.toString();
        uiter_setString(&iterator, reinterpret_cast<const UChar *>(utf16.utf16()),
                        icuLength(utf16.size()));
    } else {
        uiter_setUTF8(&iterator, text.data(), icuLength(text.size()));
    }
    uint32_t state[2] = {0, 0};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written =
        ucol_nextSortKeyPart(m_collator, &iterator, state, out, icuLength(capacity), &status);
    check(status, "cannot compute a sort key");
    return std::find(out, out + written, levelSeparator) - out;
}

void Collation::appendPrimaryWeights(const Item &item, std::vector<quint8> &out) const
{
    const QByteArrayView text = item.utf8();
    const size_t start = out.size();
    // At most a compression byte and four weight bytes for each character.
    out.resize(start + size_t(text.size()) * 5 + 8);
    const qsizetype length = m_weights.write(text, out.data() + start, text.size() * 5 + 8);
    if (length >= 0) {
        out.resize(start + size_t(length));
        return;
    }
    const QString utf16 = item.toString();
    const auto *units = reinterpret_cast<const UChar *>(utf16.utf16());
    const int32_t unitCount = icuLength(utf16.size());
    out.resize(start + 64);
    int32_t keyLength = ucol_getSortKey(m_collator, units, unitCount, out.data() + start, 64);
    if (keyLength > 64) {
        out.resize(start + size_t(keyLength));
        ucol_getSortKey(m_collator, units, unitCount, out.data() + start, keyLength);
    }
    const auto keyStart = out.begin() + qsizetype(start);
    out.erase(std::find(keyStart, keyStart + keyLength, levelSeparator), out.end());
}

int Collation::compareFully(const Item &a, const Item &b) const
{
    const QByteArrayView textA = a.utf8();
    const QByteArrayView textB = b.utf8();
    if (textA == textB)
        return 0;
    UCollationResult result;
    QString utf16A;
    QString utf16B;
    if (!a.hasLoneSurrogates() && !b.hasLoneSurrogates()) {
        UErrorCode status = U_ZERO_ERROR;
        result = ucol_strcollUTF8(m_collator, textA.data(), icuLength(textA.size()), textB.data(),
                                  icuLength(textB.size()), &status);
        check(status, "cannot compare texts");
    } else {
        utf16A = a.toString();
        utf16B = b.toString();
        result = ucol_strcoll(
            m_collator, reinterpret_cast<const UChar *>(utf16A.utf16()), icuLength(utf16A.size()),
            reinterpret_cast<const UChar *>(utf16B.utf16()), icuLength(utf16B.size()));
    }
    if (result != UCOL_EQUAL)
        return result;
    // Texts that collate as equal, such as "é" and "e" with a combining accent.
    if (utf16A.isNull()) {
        utf16A = a.toString();
        utf16B = b.toString();
    }
    return QStringView(utf16A).compare(utf16B) < 0 ? -1 : 1;
}

int Collation::compareTied(const Item &a, const Item &b) const
{
    if (&a == &b || a.utf8() == b.utf8())
        return 0;
    m_scratchA.clear();
    m_scratchB.clear();
    appendPrimaryWeights(a, m_scratchA);
    appendPrimaryWeights(b, m_scratchB);
    const auto byWeights = std::lexicographical_compare_three_way(
        m_scratchA.begin(), m_scratchA.end(), m_scratchB.begin(), m_scratchB.end());
    if (byWeights != 0)
        return byWeights < 0 ? -1 : 1;
    return compareFully(a, b);
}
