#pragma once

#include <QtGlobal>

#include <vector>

// Text as ICU's collation reads it with normalization on, which decomposes only what is out
// of canonical order.

// The combining classes of the first and the last character of c's decomposition, as ICU's
// check for canonical order reads them: the first in the high byte.
[[nodiscard]] quint16 fcdClasses(char32_t c);

// characters as ICU's collation reads them with normalization on: a segment of marks out of
// canonical order, from the character before it that has a mark at its end, through the
// run of marks it is in, decomposed and in order; the rest as it is.
[[nodiscard]] std::vector<char32_t> normalizedAsIcu(const std::vector<char32_t> &characters);
