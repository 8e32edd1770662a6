#pragma once

#include "item.h"

#include <vector>

class Collation;

// Gives every entry its key prefix and sorts the entries into list order. Large batches are
// keyed and sorted on all cores.
void keyAndSort(std::vector<ItemEntry> &entries, const Collation &collation);

// Merges the sorted ranges [0, middle) and [middle, end) of items in place. Each item of the
// second range goes after the equal items of the first. Cheap when the second range is short.
void mergeSortedRanges(std::vector<ItemEntry> &items, qsizetype middle, const Collation &collation);
