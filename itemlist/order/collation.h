#pragma once

#include "storage/item.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

struct UCollator;
class LinearForm;
class PrimaryWeights;
class WeighedItem;

// The alphabetical order of items: the CLDR collation of a locale, the root's by default,
// with numeric ordering of digit runs ("item2" before "item10"). Letters compare first
// without case and accents, then by accents, then by case; texts that still compare equal
// are ordered by UTF-16 code units.
//
// Items are compared in stages, each only when the one before ties: the first eight bytes
// of their primary weights (kept beside each item as its key prefix), more of their primary
// weights, the full collation, and the code units. Every stage gives ICU's order of sort
// keys, so that any path through them orders any two items alike. Most comparisons settle
// on the prefix. Text with a long run of combining marks goes to ICU in its LinearForm, so
// that no stage takes time beyond linear in the texts' length.
//
// Not thread-safe: each thread uses its own copy. Copies share the table of primary weights,
// which is read out of ICU once for each collation.
class Collation
{
public:
    // The collation of locale, an ICU name as collationLocaleNamed() gives; a locale that
    // ICU has no data for gives the root's.
    explicit Collation(const QByteArray &locale = QByteArrayLiteral("root"));
    Collation(const Collation &other);
    Collation &operator=(const Collation &) = delete;
    ~Collation();

    // The first eight bytes of item's primary weights as one big-endian number, zero after
    // their end, so that numbers order as the weights do.
    [[nodiscard]] quint64 keyPrefix(const Item &item) const;
    // Writes up to capacity bytes of item's primary weights to out; returns how many,
    // capacity when there are more.
    qsizetype writePrimaryWeights(const Item &item, quint8 *out, qsizetype capacity) const;
    // The same for a comparison that goes deeper into weights: -1, leaving the comparison to
    // the full collation, when the weights would come from ICU and capacity is more than
    // icuWeightsDepth or the text longer than icuTextLength.
    qsizetype writeDeepWeights(const Item &item, quint8 *out, qsizetype capacity) const;
    // The order of a and b after their primary weights: the full collation, then code units.
    // Negative, zero or positive as a sorts before, with or after b; zero for equal texts.
    [[nodiscard]] int compareFully(const Item &a, const Item &b) const;
    // ICU's sort key of item: the order of keys, then codeUnitOrder(), is the list's order.
    // For a sort that compares an item many times: the key takes time once.
    [[nodiscard]] QByteArray fullKey(const Item &item) const;
    // The order of the UTF-16 code units of a and b, which decides between texts that collate
    // as equal, such as "é" and "e" with a combining accent.
    [[nodiscard]] static int codeUnitOrder(const Item &a, const Item &b);

    // The complete order of two keyed items.
    [[nodiscard]] bool less(const ItemEntry &a, const ItemEntry &b) const
    {
        if (a.keyPrefix != b.keyPrefix)
            return a.keyPrefix < b.keyPrefix;
        return compareTied(*a.item, *b.item) < 0;
    }
    // The order of two items with equal key prefixes, from their primary weights on.
    [[nodiscard]] int compareTied(const Item &a, const Item &b) const;
    // The same for items weighed already.
    [[nodiscard]] int compareTied(const WeighedItem &a, const WeighedItem &b) const;
    [[nodiscard]] ItemEntry entryFor(const Item *item) const { return {keyPrefix(*item), item}; }

    // How deep comparisons go in primary weights before they leave the rest to ICU.
    static constexpr qsizetype deepestWeights = 64 * 1024;
    // ICU works out weights from the start of a text at each call, at a cost that can grow
    // with the square of the length of a run of combining marks; its full comparison stops
    // at the first difference. So weights from ICU are taken past the key prefix only this
    // deep, and only for texts of up to this many bytes.
    static constexpr qsizetype icuWeightsDepth = 64;
    static constexpr qsizetype icuTextLength = 256;

private:
    // Whether ICU collates item in UTF-16 rather than in its own UTF-8: it holds a lone
    // surrogate, which UTF-8 cannot, or a long run of marks, which goes in its linear form.
    [[nodiscard]] static bool takesUtf16(const Item &item);
    // The UTF-16 text that ICU collates for item.
    [[nodiscard]] QString icuText(const Item &item) const;
    qsizetype writeIcuWeights(const Item &item, quint8 *out, qsizetype capacity) const;

    UCollator *m_collator;
    QByteArray m_locale;
    std::shared_ptr<const PrimaryWeights> m_weights;
    mutable std::shared_ptr<const LinearForm> m_linearForm;
    mutable std::vector<quint8> m_scratchA;
    mutable std::vector<quint8> m_scratchB;
};
