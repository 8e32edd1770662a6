#pragma once

#include "storage/item.h"
#include "storage/itembatch.h"
#include "storage/itemrun.h"

#include <stop_token>
#include <vector>

class Collation;

// Gives every entry its key prefix and sorts the entries into list order. Large batches are
// keyed and sorted on all cores. A stop request leaves them in any order, sooner.
void keyAndSort(std::vector<ItemEntry> &entries, const Collation &collation,
                const std::stop_token &stop = {});

// The items of batch, which it takes, keyed and sorted into a run in list order. A stop
// request leaves them in any order, sooner.
[[nodiscard]] ItemRun sortedRun(ItemBatch &&batch, const Collation &collation,
                                const std::stop_token &stop = {});
