#pragma once

#include "storage/itembatch.h"
#include "storage/itemrun.h"

#include <memory>
#include <stop_token>

class Collation;

// The items of base and of addition, both sorted, in list order, each item of addition after
// the items of base equal to it. Large runs are merged on all cores. A stop request returns
// an unfinished run, sooner.
[[nodiscard]] ItemRun mergeRuns(const ItemRun &base, const ItemRun &addition,
                                const Collation &collation, const std::stop_token &stop = {});

// A batch sorted into a run, and that run merged with a base.
struct MergedBatch {
    std::shared_ptr<const ItemRun> merged;
    std::shared_ptr<const ItemRun> addition;
};
// Sorts the items of batch, which it takes, and merges them with base. Into an empty base,
// the sorted batch is the merge itself, not a copy of it. A stop request returns sooner,
// with an unfinished merge.
[[nodiscard]] MergedBatch mergeBatch(const ItemRun &base, ItemBatch &&batch,
                                     const Collation &collation, const std::stop_token &stop = {});
