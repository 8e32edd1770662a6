#include "order/collation.h"

#include "order/linearform.h"
#include "order/primaryweights.h"
#include "order/weigheditem.h"
#include "storage/utf8.h"

#include <QtEndian>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uiter.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace
{
void check(UErrorCode status, const char *what)
{
    if (status == U_MEMORY_ALLOCATION_ERROR)
        throw std::bad_alloc();
    if (U_FAILURE(status))
        throw std::runtime_error(std::string(what) + ": " + u_errorName(status));
}

UCollator *openCollation(const QByteArray &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(locale.constData(), &status);
    check(status, "cannot open the collation");
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_TERTIARY, &status);
    // Text whose combining marks are not in the order that ICU assumes without it is put in
    // that order first. Such text is rare, and ICU's check for it cheap; the table of common
    // characters holds none of it.
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    check(status, "cannot configure the collation");
    return collator;
}

// ICU takes 32-bit lengths: where ICU orders a longer text, it sees only its first 2^31-1
// bytes or code units.
int32_t icuLength(qsizetype length)
{
    return int32_t(std::min<qsizetype>(length, std::numeric_limits<int32_t>::max()));
}

constexpr quint8 levelSeparator = 0x01;

// Whether text holds a decimal digit other than ASCII's.
bool holdsOtherDigits(QByteArrayView text)
{
    if (isAscii(text))
        return false;
    bool found = false;
    forEachCharacter(text, [&](char32_t c) {
        found = c >= 0x80 && u_charType(UChar32(c)) == U_DECIMAL_DIGIT_NUMBER;
        return !found;
    });
    return found;
}

// The first count of eight bytes as a big-endian number, zero after them.
quint64 bigEndian(quint8 (&bytes)[8], qsizetype count)
{
    std::fill(bytes + count, bytes + 8, 0);
    return qFromBigEndian<quint64>(bytes);
}
} // namespace

Collation::Collation(const QByteArray &locale)
    : m_collator(openCollation(locale)), m_locale(locale),
      m_weights(PrimaryWeights::of(m_collator, locale))
{
}

Collation::Collation(const Collation &other)
    : m_locale(other.m_locale), m_weights(other.m_weights), m_linearForm(other.m_linearForm)
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
    const qsizetype length = m_weights->write(item.utf8(), out, capacity);
    return length >= 0 ? length : writeIcuWeights(item, out, capacity);
}

qsizetype Collation::writeDeepWeights(const Item &item, quint8 *out, qsizetype capacity) const
{
    const qsizetype length = m_weights->write(item.utf8(), out, capacity);
    if (length >= 0)
        return length;
    return capacity <= icuWeightsDepth && item.utf8().size() <= icuTextLength
               ? writeIcuWeights(item, out, capacity)
               : -1;
}

bool Collation::takesUtf16(const Item &item)
{
    return item.hasLoneSurrogates() || LinearForm::needed(item.utf8());
}

QString Collation::icuText(const Item &item) const
{
    if (!LinearForm::needed(item.utf8()))
        return item.toString();
    // Read out of ICU at the first text that needs it, which most lists never hold.
    if (!m_linearForm)
        m_linearForm = LinearForm::of(m_collator, m_locale);
    return m_linearForm->write(item.utf8());
}

qsizetype Collation::writeIcuWeights(const Item &item, quint8 *out, qsizetype capacity) const
{
    // The sort key begins with the primary weights, up to the level separator.
    const QByteArrayView text = item.utf8();
    UCharIterator iterator;
    QString utf16;
    if (takesUtf16(item)) {
        utf16 = icuText(item);
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

int Collation::compareFully(const Item &a, const Item &b) const
{
    const QByteArrayView textA = a.utf8();
    const QByteArrayView textB = b.utf8();
    if (textA == textB)
        return 0;
    int order;
    if (!takesUtf16(a) && !takesUtf16(b) && !holdsOtherDigits(textA) && !holdsOtherDigits(textB)) {
        UErrorCode status = U_ZERO_ERROR;
        order = ucol_strcollUTF8(m_collator, textA.data(), icuLength(textA.size()), textB.data(),
                                 icuLength(textB.size()), &status);
        check(status, "cannot compare texts");
    } else {
        // ICU's comparisons can differ from its sort keys inside digit runs that hold digits
        // of other scripts than ASCII's, or supplementary ones, in tailored orders too; such
        // text, and text that ICU takes in UTF-16, is compared by key.
        order = fullKey(a).compare(fullKey(b));
    }
    return order != 0 ? (order < 0 ? -1 : 1) : codeUnitOrder(a, b);
}

QByteArray Collation::fullKey(const Item &item) const
{
    const QString text = icuText(item);
    const auto *units = reinterpret_cast<const UChar *>(text.utf16());
    const int32_t length = icuLength(text.size());
    // Most keys take up to about three bytes for each code unit: one call for them.
    QByteArray key(std::min<qsizetype>(3 * qsizetype(length) + 16, 1 << 30), Qt::Uninitialized);
    const int32_t size = ucol_getSortKey(
        m_collator, units, length, reinterpret_cast<uint8_t *>(key.data()), int32_t(key.size()));
    if (size > key.size()) {
        key.resize(size);
        ucol_getSortKey(m_collator, units, length, reinterpret_cast<uint8_t *>(key.data()), size);
    }
    check(size > 0 ? U_ZERO_ERROR : U_INTERNAL_PROGRAM_ERROR, "cannot compute a sort key");
    key.resize(size - 1); // without the terminating zero
    key.squeeze();
    return key;
}

int Collation::codeUnitOrder(const Item &a, const Item &b)
{
    const int order = a.toString().compare(b.toString());
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int Collation::compareTied(const Item &a, const Item &b) const
{
    if (&a == &b || a.utf8() == b.utf8())
        return 0;
    WeighedItem weighedA;
    WeighedItem weighedB;
    weighedA.weigh(a, *this);
    weighedB.weigh(b, *this);
    return compareTied(weighedA, weighedB);
}

int Collation::compareTied(const WeighedItem &a, const WeighedItem &b) const
{
    // The weights of long texts that agree for a while are compared a window at a time;
    // past the deepest, or past the depth of ICU's weights, ICU compares the texts itself.
    const quint8 *bytesA = a.weights();
    const quint8 *bytesB = b.weights();
    qsizetype lengthA = a.weightsLength();
    qsizetype lengthB = b.weightsLength();
    for (qsizetype capacity = WeighedItem::window; lengthA >= 0 && lengthB >= 0;) {
        const auto byWeights = std::lexicographical_compare_three_way(bytesA, bytesA + lengthA,
                                                                      bytesB, bytesB + lengthB);
        if (byWeights != 0)
            return byWeights < 0 ? -1 : 1;
        if (lengthA < capacity || lengthB < capacity)
            break; // all of the weights, and equal
        capacity *= 4;
        if (capacity > deepestWeights)
            break;
        if (m_scratchA.size() < size_t(capacity)) {
            m_scratchA.resize(size_t(capacity));
            m_scratchB.resize(size_t(capacity));
        }
        bytesA = m_scratchA.data();
        bytesB = m_scratchB.data();
        lengthA = writeDeepWeights(a.item(), m_scratchA.data(), capacity);
        lengthB = writeDeepWeights(b.item(), m_scratchB.data(), capacity);
    }
    return compareFully(a.item(), b.item());
}
