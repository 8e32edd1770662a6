#pragma once

#include "listfile/textencoding.h"
#include "platform.h"
#include "sorteditemlist.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// How the items of a list are written: in its order or backwards, and all of them or one of
// each run of identical texts ("a" and "A" are not identical, so both stay).
struct ListForm {
    bool reversed = false;
    bool unique = false;
};

// Whether encoding can write item.
[[nodiscard]] bool canWrite(const Item &item, TextEncoding encoding);
// The line of the first item of list, written in form, that encoding cannot write, counted
// from 0; -1 when it can write them all.
[[nodiscard]] qsizetype firstUnwritableItem(const SortedItemList &list, TextEncoding encoding,
                                            ListForm form = {});
// The encoding that saves list to a file read in preferred: preferred itself when it can
// write every item, otherwise UTF-8, or UTF-16 for a lone surrogate. No character is ever
// replaced or dropped.
[[nodiscard]] TextEncoding encodingForSaving(const SortedItemList &list, TextEncoding preferred);

// Writes the items of list, in order and in form, one per line ended by CR LF, in encoding
// with its byte-order mark. An item is quoted when it would not read back unchanged
// otherwise. encoding must be able to write every item.
[[nodiscard]] bool writeListItems(QIODevice &device, const SortedItemList &list,
                                  TextEncoding encoding, QString &errorString, ListForm form = {});

// Replaces the file at path with the items of list, written as writeListItems() does; see
// SaveTarget for how each kind of file is written. A FIFO that no program reads waits for
// one, or fails at once.
[[nodiscard]] bool saveListFile(const QString &path, const SortedItemList &list,
                                TextEncoding encoding, QString &errorString, ListForm form = {},
                                platform::ReaderWait wait = platform::ReaderWait::Wait);

// Gives a writer the items to write a chunk at a time, in the order they are written:
// replaces entries with the next chunk, whose items stay valid until the next call, and
// leaves entries empty at the end. Returns false on failure, with errorString saying why.
using ItemChunks = std::function<bool(std::vector<ItemEntry> &entries, QString &errorString)>;

// The line of the first item of chunks that encoding cannot write, counted from 0; -1 when
// it can write them all; empty when chunks fail.
[[nodiscard]] std::optional<qsizetype>
firstUnwritableItem(const ItemChunks &chunks, TextEncoding encoding, QString &errorString);
// Writes the items of chunks as lines, as writeListItems() writes a list's.
[[nodiscard]] bool writeListItems(QIODevice &device, const ItemChunks &chunks,
                                  TextEncoding encoding, QString &errorString);
// Replaces the file at path with the items of chunks, as saveListFile() does with a list's.
[[nodiscard]] bool saveListFile(const QString &path, const ItemChunks &chunks,
                                TextEncoding encoding, QString &errorString);
