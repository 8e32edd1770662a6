#pragma once

#include "storage/item.h"
#include "storage/itemstream.h"

#include <vector>

class Collation;
class RunFile;

// Sorted runs to merge into one: in files, and one in memory, each in the merge's order.
struct MergeInput {
    std::vector<const RunFile *> files;
    const std::vector<ItemEntry> *inMemory = nullptr;
};

// What a merge may take of memory.
struct MergeMemory {
    qsizetype readSize;   // bytes read from each run at a time, by each thread
    qsizetype chunkItems; // items handed on at a time
    qint64 rangeBytes;    // bytes of items in a range of keys that a thread merges
};

// Threads that merge ranges at once, each reading every run: the memory of a merge is
// shared among them.
[[nodiscard]] int mergeThreadCount();

// The items of input merged, in list order or reversed (the direction of a stream's
// ListForm), on all cores. The keys are split
// into ranges at records that the run files keep in memory (RunFile::samples()), so that
// each thread merges whole ranges, reading each run from the offset where its range starts;
// the ranges come out in order. A run that cannot be read stops the stream with the system's
// reason.
[[nodiscard]] ItemStream mergeInRanges(const MergeInput &input, const Collation &collation,
                                       bool reversed, MergeMemory memory);
