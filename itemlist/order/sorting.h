#pragma once

#include "storage/item.h"
#include "storage/itembatch.h"
#include "storage/itemrun.h"

#include <stop_token>
#include <vector>

class Collation;

// Gives every entry its key prefix and sorts the entries into list order. Large batches are
// keyed and sorted on all cores, with room for a copy of the entries. That room is freed as
// soon as the sort is done with it, or, given keptRoom, taken from it and left in it, for a
// next sort that would otherwise take its pages from the system again. A stop request leaves
// the entries in any order, sooner.
void keyAndSort(std::vector<ItemEntry> &entries, const Collation &collation,
                const std::stop_token &stop = {}, std::vector<ItemEntry> *keptRoom = nullptr);

// The items of batch, which it takes, keyed and sorted into a run in list order. A stop
// request leaves them in any order, sooner.
[[nodiscard]] ItemRun sortedRun(ItemBatch &&batch, const Collation &collation,
                                const std::stop_token &stop = {});
