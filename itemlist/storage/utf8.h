#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>

// Small steps of UTF-8, and of WTF-8, which writes a lone surrogate as UTF-8 would its code
// point: list items are kept in it.

// Appends c in UTF-8 to out (a surrogate in its three-byte form).
template <typename Bytes> void appendUtf8(char32_t c, Bytes &out)
{
    if (c < 0x80) {
        out.push_back(char(c));
        return;
    }
    if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(char(0x80 | (c & 0x3F)));
}

// Whether text is all ASCII, and so the same in UTF-8 and in every code page a list file may
// be in.
inline bool isAscii(QByteArrayView text)
{
    return std::ranges::all_of(text, [](char byte) { return quint8(byte) < 0x80; });
}

// The character of valid UTF-8 or WTF-8 that from points at; from moves past it.
inline char32_t takeCharacter(const quint8 *&from)
{
    const quint8 lead = *from;
    if (lead < 0x80) {
        from += 1;
        return lead;
    }
    char32_t c;
    if (lead < 0xE0) {
        c = (char32_t(lead & 0x1F) << 6) | (from[1] & 0x3F);
        from += 2;
    } else if (lead < 0xF0) {
        c = (char32_t(lead & 0x0F) << 12) | (char32_t(from[1] & 0x3F) << 6) | (from[2] & 0x3F);
        from += 3;
    } else {
        c = (char32_t(lead & 0x07) << 18) | (char32_t(from[1] & 0x3F) << 12) |
            (char32_t(from[2] & 0x3F) << 6) | (from[3] & 0x3F);
        from += 4;
    }
    return c;
}

// Calls visit(c) for each character of valid UTF-8 or WTF-8 text, while it returns true.
template <typename Visit> void forEachCharacter(QByteArrayView text, Visit visit)
{
    const auto *from = reinterpret_cast<const quint8 *>(text.data());
    const quint8 *const end = from + text.size();
    while (from < end) {
        if (!visit(takeCharacter(from)))
            return;
    }
}

// Whether WTF-8 text holds a lone surrogate: ED followed by A0 to BF.
inline bool holdsLoneSurrogate(QByteArrayView text)
{
    for (qsizetype index = 0; index + 1 < text.size(); ++index) {
        if (quint8(text[index]) == 0xED && quint8(text[index + 1]) >= 0xA0)
            return true;
    }
    return false;
}
