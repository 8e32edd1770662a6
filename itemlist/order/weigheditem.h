#pragma once

#include "storage/item.h"

#include <QtGlobal>

#include <array>

class Collation;

// An item with the first window of its deep weights worked out once and kept, for an item
// that a merge compares again and again: the head of a run, until it comes out, or the item
// of one side that many items of the other side are compared with.
class WeighedItem
{
public:
    // The bytes of weights kept: what most ties settle in.
    static constexpr qsizetype window = 64;

    // Weighs item in collation, unless it is the item weighed last.
    void weigh(const Item &item, const Collation &collation);
    // Forgets the item, for a caller whose next item may lie where this one did.
    void forget() { m_item = nullptr; }
    // The same text as the item's, elsewhere, takes its place and its weights, if weighed.
    void movedTo(const Item &same)
    {
        if (m_item)
            m_item = &same;
    }

    [[nodiscard]] const Item &item() const { return *m_item; }
    [[nodiscard]] const quint8 *weights() const { return m_weights.data(); }
    // How many bytes of weights there are, window when there may be more; -1 when the
    // collation leaves the item to its full comparison.
    [[nodiscard]] qsizetype weightsLength() const { return m_length; }

private:
    const Item *m_item = nullptr;
    std::array<quint8, window> m_weights;
    qsizetype m_length = 0;
};
