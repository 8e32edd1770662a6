#pragma once

#include "storage/item.h"

#include <QByteArrayView>
#include <QHash>

#include <array>
#include <vector>

class Collation;

// An item tied with others on its key prefix, with the next 32 bytes of its primary
// weights, from some depth on, as big-endian numbers: enough to settle most ties at once.
struct TieRecord {
    std::array<quint64, 4> window;
    const Item *item;

    bool operator<(const TieRecord &other) const { return window < other.window; }
    // Word by word: an equality of the arrays would call memcmp.
    bool sameWindow(const TieRecord &other) const
    {
        return window[0] == other.window[0] && window[1] == other.window[1] &&
               window[2] == other.window[2] && window[3] == other.window[3];
    }
    // Weights end inside a window exactly when its last byte is the zero after them.
    bool weightsGoOn() const { return (window.back() & 0xFF) != 0; }
};

// Orders runs of entries tied on their key prefix. It keeps its buffers from run to run:
// one for each thread.
class TieResolver
{
public:
    explicit TieResolver(const Collation &collation) : m_collation(collation) {}

    // Puts [begin, end), whose key prefixes are all equal, into list order.
    void resolve(ItemEntry *begin, ItemEntry *end);

private:
    // Inline, though defined in the source file: deepen() runs for each run of records,
    // sortFrom() for each run of equal windows.
    // Gives each record its window at depth; false when the collation leaves weights that
    // deep of one to its full comparison.
    inline bool deepen(TieRecord *begin, TieRecord *end, qsizetype depth);
    // Sorts records whose primary weights agree before depth.
    inline void sortFrom(TieRecord *begin, TieRecord *end, qsizetype depth);
    // Records whose primary weights are all equal: equal texts gather, and the distinct
    // texts, usually few ("apple", "Apple", "APPLE"), are ordered by the full collation.
    void sortEqualWeights(TieRecord *begin, TieRecord *end);
    // Sorts records by the full collation.
    void sortFully(TieRecord *begin, TieRecord *end);
    // Puts order, indexes of m_keyed, in the full collation's order of their items, each
    // item's key worked out once, when one of them is long and the keys fit in the memory
    // that keys may take; false, leaving order as it was, otherwise.
    bool orderByKeys(std::vector<qsizetype> &order);

    // A distinct text among records with equal weights, and how many records hold it.
    struct Text {
        const Item *item;
        qsizetype count; // then where its records start
    };

    const Collation &m_collation;
    std::vector<TieRecord> m_records;
    std::vector<quint8> m_weights;
    QHash<QByteArrayView, qsizetype> m_textOf;
    std::vector<Text> m_texts;
    std::vector<qsizetype> m_order;
    std::vector<TieRecord> m_unordered;
    std::vector<const Item *> m_keyed;
    std::vector<QByteArray> m_keys;
};
