#pragma once

#include <QByteArrayView>

#include <algorithm>
#include <cstring>

// The rules of the list file format that both reading and writing follow.
namespace listformat
{
// Spaces and tabs around an unquoted item are not part of it.
[[nodiscard]] constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

[[nodiscard]] constexpr bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Whether text cut after c cuts no character, in UTF-8 or in any code page that a list file
// may be in (see CodePage::keyNamed()): a line end, a comma, a quote or a blank.
[[nodiscard]] constexpr bool cutsNoCharacter(char c)
{
    return isLineEnd(c) || isBlank(c) || c == ',' || c == '"';
}

// Whether text holds a comma. Looks at eight bytes at a time, inline: the writer asks for
// every item, most of them short.
[[nodiscard]] inline bool holdsComma(QByteArrayView text)
{
    constexpr quint64 ones = 0x0101010101010101;
    constexpr quint64 highs = 0x8080808080808080;
    const char *next = text.data();
    const char *const end = next + text.size();
    for (; end - next >= 8; next += 8) {
        quint64 word;
        std::memcpy(&word, next, sizeof word);
        const quint64 commas = word ^ (ones * quint8(','));
        if ((commas - ones) & ~commas & highs)
            return true;
    }
    return std::find(next, end, ',') != end;
}

// Whether an item written as it is would read back split or changed, so that it must be
// quoted: it holds a comma, starts with a quote, or starts or ends with a blank.
[[nodiscard]] inline bool needsQuotes(QByteArrayView item)
{
    return !item.isEmpty() && (isBlank(item.front()) || isBlank(item.back()) ||
                               item.front() == '"' || holdsComma(item));
}
} // namespace listformat
