#pragma once

#include "runs/rangedmerge.h"

#include <string>
#include <vector>

// Entries of the run in memory between two samples of it.
inline constexpr qsizetype memorySampleSpacing = 4096;

// Where each range of keys of a merge starts in each run.
struct MergePlan {
    std::vector<std::string> splitters; // records where ranges after the first start
    // [range][file]: the offset of the last record kept in memory that comes before the
    // range, and of the first that does not: the range starts between them.
    std::vector<std::vector<qint64>> fileStarts;
    std::vector<std::vector<qint64>> fileLimits;
    std::vector<qsizetype> memoryStarts; // [range], the first entry in memory
};

// The ranges of about rangeBytes of items each that input splits into, in list order or
// reversed; one range when rangeBytes is too small for ranges to read little outside
// themselves.
[[nodiscard]] MergePlan planMerge(const MergeInput &input, const Collation &collation,
                                  bool reversed, qint64 rangeBytes);
