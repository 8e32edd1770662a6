#pragma once

#include <QStringView>

#include <cstring>

class Arena;

// One item of a list as stored in an Arena: its text, and once the item is ordered, its
// sort key. The text follows the header in the same allocation.
struct Item {
    qsizetype textLength;
    const char *key; // zero-terminated sort key; null until keyed

    [[nodiscard]] QStringView text() const
    {
        return {reinterpret_cast<const char16_t *>(this + 1), textLength};
    }

    // Copies text into a new item in arena; the item has no key yet.
    static Item *create(Arena &arena, QStringView text);
    // The same in memory of at least allocationSize(text.size()) bytes, aligned for Item.
    static Item *create(void *memory, QStringView text);
    static qsizetype allocationSize(qsizetype textLength)
    {
        return qsizetype(sizeof(Item)) + textLength * qsizetype(sizeof(char16_t));
    }
};

// The list's order: by sort key, and for texts that collate as equal, by UTF-16 code units,
// so that the order of any set of items is fully determined.
inline bool operator<(const Item &a, const Item &b)
{
    if (const int byKey = std::strcmp(a.key, b.key))
        return byKey < 0;
    return a.text() < b.text();
}

// Eight bytes of a key from bytes on, as one big-endian number; zero after the key's end,
// so that numbers order as the bytes do.
inline quint64 keyWord(const char *bytes)
{
    quint64 word = 0;
    qsizetype index = 0;
    for (; index < 8 && bytes[index]; ++index)
        word = (word << 8) | quint8(bytes[index]);
    return index == 0 ? 0 : word << (8 * (8 - index));
}

// A keyed item with the first eight bytes of its key beside it, so that most comparisons in
// a large list settle without reading the item's scattered memory.
struct ItemEntry {
    quint64 keyPrefix;
    Item *item;

    static ItemEntry of(Item *keyed) { return {keyWord(keyed->key), keyed}; }
};

inline bool operator<(const ItemEntry &a, const ItemEntry &b)
{
    if (a.keyPrefix != b.keyPrefix)
        return a.keyPrefix < b.keyPrefix;
    return *a.item < *b.item;
}
