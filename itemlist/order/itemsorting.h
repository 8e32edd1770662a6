#pragma once

#include "storage/item.h"
#include "storage/itemrun.h"

#include <stop_token>
#include <vector>

class Collation;

// Gives every entry its key prefix and sorts the entries into list order. Large batches are
// keyed and sorted on all cores. A stop request leaves them in any order, sooner.
void keyAndSort(std::vector<ItemEntry> &entries, const Collation &collation,
                const std::stop_token &stop = {});

// The items of base and of addition, both sorted, in list order, each item of addition after
// the items of base equal to it. Large runs are merged on all cores. A stop request returns
// an unfinished run, sooner.
[[nodiscard]] ItemRun mergeRuns(const ItemRun &base, const ItemRun &addition,
                                const Collation &collation, const std::stop_token &stop = {});
