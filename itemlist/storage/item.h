#pragma once

#include "storage/arena.h"

#include <QByteArrayView>
#include <QString>

#include <cstring>
#include <optional>
#include <string>

// One item of a list as stored in an Arena: a header holding its length, then its text in
// UTF-8, which takes half the memory of UTF-16 for most text and is what list files mostly
// hold. A lone surrogate, which only a UTF-16 file can hold, is stored in its three-byte form
// (the generalized UTF-8 known as WTF-8), and the item is flagged, so that the few such items
// take the slower way through UTF-16 wherever text is compared or converted.
class Item
{
public:
    [[nodiscard]] QByteArrayView utf8() const
    {
        const auto *bytes = reinterpret_cast<const quint8 *>(this);
        quint64 header = 0;
        int shift = 0;
        qsizetype index = 0;
        for (; bytes[index] & 0x80; ++index, shift += 7)
            header |= quint64(bytes[index] & 0x7F) << shift;
        header |= quint64(bytes[index]) << shift;
        return {reinterpret_cast<const char *>(bytes + index + 1), qsizetype(header >> 1)};
    }
    // The bytes the item takes: its header and its text.
    [[nodiscard]] qsizetype byteSize() const
    {
        const QByteArrayView text = utf8();
        return text.data() + text.size() - reinterpret_cast<const char *>(this);
    }
    // Whether other holds the same text: one comparison of the bytes, header and all. Most
    // items are short, compared here a word at a time, the last word overlapping the one
    // before, rather than in a call.
    [[nodiscard]] bool sameAs(const Item &other) const
    {
        const qsizetype size = byteSize();
        if (size != other.byteSize())
            return false;
        const auto *a = reinterpret_cast<const char *>(this);
        const auto *b = reinterpret_cast<const char *>(&other);
        if (size >= 8 && size <= 64) {
            for (qsizetype at = 0; at < size - 8; at += 8) {
                if (load<quint64>(a + at) != load<quint64>(b + at))
                    return false;
            }
            return load<quint64>(a + size - 8) == load<quint64>(b + size - 8);
        }
        if (size >= 4 && size < 8)
            return load<quint32>(a) == load<quint32>(b) &&
                   load<quint32>(a + size - 4) == load<quint32>(b + size - 4);
        return std::memcmp(a, b, size_t(size)) == 0;
    }
    [[nodiscard]] bool hasLoneSurrogates() const
    {
        const auto *bytes = reinterpret_cast<const quint8 *>(this);
        return bytes[0] & 1;
    }
    [[nodiscard]] QString toString() const;
    // Appends the item's bytes, header and text, as they are stored, to out.
    void appendTo(std::string &out) const
    {
        out.append(reinterpret_cast<const char *>(this), size_t(byteSize()));
    }
    // The item whose bytes appendTo() laid out at bytes.
    [[nodiscard]] static const Item *laidOutAt(const char *bytes)
    {
        return reinterpret_cast<const Item *>(bytes);
    }
    // The bytes of the item laid out at the start of bytes, header and text; empty when the
    // available bytes do not hold all of it.
    [[nodiscard]] static std::optional<qsizetype> laidOutSize(const char *bytes,
                                                              qsizetype available);
    // The text to show: the whole of it, or when its UTF-8 is longer than maxBytes, the
    // beginning and an ellipsis, without converting a huge item whole.
    [[nodiscard]] QString shown(qsizetype maxBytes) const;

    // Copies text (UTF-8, or WTF-8 with loneSurrogates set) into a new item in arena.
    // Inline for most items, which are short, with a header of one byte; a list file is
    // read an item at a time.
    static const Item *create(Arena &arena, QByteArrayView utf8, bool loneSurrogates)
    {
        if (utf8.size() >= oneByteHeaderLimit)
            return createLong(arena, utf8, loneSurrogates);
        auto *memory = static_cast<char *>(arena.allocateBytes(1 + utf8.size()));
        memory[0] = char((utf8.size() << 1) | qsizetype(loneSurrogates));
        if (!utf8.isEmpty()) // an empty view may have no data at all
            std::memcpy(memory + 1, utf8.data(), size_t(utf8.size()));
        return laidOutAt(memory);
    }
    // The same from UTF-16, which may hold lone surrogates.
    static const Item *create(Arena &arena, QStringView text);
    // Moves the first length bytes of utf8 into a new item in arena, giving back the pages of
    // utf8 a slice at a time as they are copied, so that a huge item never takes twice its
    // size; utf8 is left empty.
    static const Item *createFrom(Arena &arena, QByteArray &&utf8, qsizetype length,
                                  bool loneSurrogates);

private:
    // Texts shorter than this have a header of one byte: their length, doubled, and the flag.
    static constexpr qsizetype oneByteHeaderLimit = 64;
    static const Item *createLong(Arena &arena, QByteArrayView utf8, bool loneSurrogates);

    template <typename Word> static Word load(const char *bytes)
    {
        Word word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }
};

// UTF-8 for text, with lone surrogates in their three-byte form; returns whether there were
// any.
bool appendWtf8(QStringView text, QByteArray &out);
// The UTF-16 of WTF-8 text: the inverse of appendWtf8().
void appendUtf16(QByteArrayView wtf8, QString &out);

// A keyed item: the first eight bytes of its primary collation weights beside its address,
// so that most comparisons in a large list settle without reading the item's memory.
struct ItemEntry {
    // Left as it is: room for millions of entries, as a sort's or a merge's, is written over
    // at once, and zeroing it first would take a pass of its own.
    ItemEntry() {} // not "= default", which would have vectors zero it
    ItemEntry(quint64 keyPrefix, const Item *item) : keyPrefix(keyPrefix), item(item) {}

    quint64 keyPrefix;
    const Item *item;
};
