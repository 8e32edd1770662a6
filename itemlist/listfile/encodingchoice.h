#pragma once

#include "listfile/encoding/textencoding.h"
#include "storage/itemstream.h"

#include <QString>

#include <functional>
#include <optional>

// Which encoding a list can be written in, found before anything is written, so that no
// character is ever replaced or dropped and a failed choice leaves the file as it was.

// Whether encoding can write item.
[[nodiscard]] bool canWrite(const Item &item, TextEncoding encoding);
// Why encoding cannot write the item on line, counted from 0.
[[nodiscard]] QString unwritableReason(qsizetype line, TextEncoding encoding);
// The line of the first item of items that encoding cannot write, counted from 0; -1 when it
// can write them all; empty when the items fail, with errorString saying why.
[[nodiscard]] std::optional<qsizetype> firstUnwritableItem(ItemStream items, TextEncoding encoding,
                                                           QString &errorString);
// The items to write, and what is known of them, so that each is looked at only when needed.
struct ItemsToWrite {
    std::function<ItemStream()> open; // the items afresh, for each look at them
    qsizetype loneSurrogates = 0;     // how many hold a lone surrogate
    // The encoding that they were all read in, when there is one: text read in a code page
    // always writes back in it.
    std::optional<TextEncoding> allReadIn;
};
// The encoding to write items in. When required is given, it must write every item.
// Otherwise preferred writes them when it can, else UTF-8, or UTF-16 for a lone surrogate, so
// that no character is ever replaced or dropped. Empty, with errorString saying why, when
// required cannot write an item or the items fail.
[[nodiscard]] std::optional<TextEncoding> encodingToWrite(const ItemsToWrite &items,
                                                          TextEncoding preferred,
                                                          std::optional<TextEncoding> required,
                                                          QString &errorString);
