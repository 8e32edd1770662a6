#pragma once

#include "storage/item.h"

#include <QString>

#include <functional>
#include <vector>

// How the items of a list are written: in its order or backwards, and all of them or one of
// each run of identical texts ("a" and "A" are not identical, so both stay).
struct ListForm {
    bool reversed = false;
    bool unique = false;
};

// Sorted items on their way to being written or checked, a chunk at a time: the one way
// items go from a list, or from a merge of runs, or from a file being checked, to the
// writer, the choice of encoding and the checker.
class ItemStream
{
public:
    // Replaces chunk with the next items; leaves it empty at the end. Returns false on
    // failure, with errorString saying why.
    using Source = std::function<bool(std::vector<ItemEntry> &chunk, QString &errorString)>;

    ItemStream() = default; // no items
    explicit ItemStream(Source source) : m_source(std::move(source)) {}

    // The next chunk, whose items stay valid until the call after the next, so that a
    // chunk can be written while the next one is made.
    [[nodiscard]] bool next(std::vector<ItemEntry> &chunk, QString &errorString);

private:
    Source m_source;
};

// Whether next repeats previous: the same text, which a unique form writes once.
[[nodiscard]] inline bool isRepeat(const Item &previous, const Item &next)
{
    return previous.utf8() == next.utf8();
}

// The items of stream, which come in form's direction (in list order, or backwards when
// reversed), in form: when unique, without an item that repeats the one before it. The one
// place a form drops items.
[[nodiscard]] ItemStream inForm(ItemStream stream, ListForm form);
