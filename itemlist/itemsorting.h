#pragma once

#include "arena.h"
#include "item.h"

#include <vector>

class Collation;

// Gives every item its sort key, written to keyArena, and sorts the items into list order;
// afterwards each entry holds its key prefix.
// Large batches are keyed and sorted on all cores.
void keyAndSort(std::vector<ItemEntry> &items, const Collation &collation, Arena &keyArena);

// Writes the sort key of text into scratch, which grows as needed.
void computeKey(QStringView text, const Collation &collation, std::vector<quint8> &scratch);

// Gives one item its sort key. scratch is reused from call to call.
void assignKey(Item &item, const Collation &collation, Arena &keyArena,
               std::vector<quint8> &scratch);

// Merges the sorted ranges [0, middle) and [middle, end) of items in place. Each item of the
// second range goes after the equal items of the first. Cheap when the second range is short.
void mergeSortedRanges(std::vector<ItemEntry> &items, qsizetype middle);
