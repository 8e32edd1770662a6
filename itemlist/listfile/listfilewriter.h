#pragma once

#include "listfile/textencoding.h"
#include "sorteditemlist.h"

#include <QIODevice>
#include <QString>

// The position of the first item of list that encoding cannot write, or -1 when it can
// write them all.
[[nodiscard]] qsizetype firstUnwritableItem(const SortedItemList &list, TextEncoding encoding);
// The encoding that saves list to a file read in preferred: preferred itself when it can
// write every item, otherwise UTF-8, or UTF-16 for a lone surrogate. No character is ever
// replaced or dropped.
[[nodiscard]] TextEncoding encodingForSaving(const SortedItemList &list, TextEncoding preferred);

// Writes every item of list, in order, one per line ended by CR LF, in encoding with its
// byte-order mark. An item is quoted when it would not read back unchanged otherwise.
// encoding must be able to write every item.
[[nodiscard]] bool writeListItems(QIODevice &device, const SortedItemList &list,
                                  TextEncoding encoding, QString &errorString);

// Replaces the file at path with the items of list, written as writeListItems() does; see
// SaveTarget for how each kind of file is written.
[[nodiscard]] bool saveListFile(const QString &path, const SortedItemList &list,
                                TextEncoding encoding, QString &errorString);
