#pragma once

#include "listfile/contentdigest.h"
#include "listfile/encoding/textencoding.h"
#include "platform.h"
#include "storage/itemstream.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

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

// Writes items, one per line ended by CR LF, in encoding with its byte-order mark. An item
// is quoted when it would not read back unchanged otherwise, the first one too when the file
// would otherwise start like a byte-order mark it does not have. encoding must be able to
// write every item.
[[nodiscard]] bool writeListItems(QIODevice &device, ItemStream items, TextEncoding encoding,
                                  QString &errorString);
// Replaces the file at path with items, written as writeListItems() does; see SaveTarget for
// how each kind of file is written. A FIFO that no program reads waits for one, or fails at
// once. A regular file's version as saved goes to saved, when given.
[[nodiscard]] bool saveListFile(const QString &path, ItemStream items, TextEncoding encoding,
                                QString &errorString,
                                platform::ReaderWait wait = platform::ReaderWait::Wait,
                                std::optional<FileVersion> *saved = nullptr);
