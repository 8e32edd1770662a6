#pragma once

#include <string>
#include <vector>

struct UCollator;

// The texts of two or more code units in the collator's contractions ("ch" in Czech), and
// with withPrefixes its prefix mappings, which ICU lists as the text before a character
// followed by that character (Japanese "ゝ" after a kana). Throws std::runtime_error when
// ICU cannot list them.
[[nodiscard]] std::vector<std::u16string> contractionTexts(const UCollator *collator,
                                                           bool withPrefixes);
