#pragma once

#include <QByteArrayView>

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

// Whether an item written as it is would read back split or changed, so that it must be
// quoted: it holds a comma, starts with a quote, or starts or ends with a blank.
[[nodiscard]] inline bool needsQuotes(QByteArrayView item)
{
    return !item.isEmpty() && (isBlank(item.front()) || isBlank(item.back()) ||
                               item.front() == '"' || item.contains(','));
}
} // namespace listformat
