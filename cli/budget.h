#pragma once

#include "runs/rangedmerge.h"

#include <QString>

#include <optional>

// The memory that a listsort run may use, in bytes, and how it is shared out.

// SIZE as -S takes it: a number of kibibytes, or a number followed by b (bytes), K, M, G or
// T (powers of 1024), or % (of the physical memory). Empty when SIZE is none of these.
[[nodiscard]] std::optional<qint64> memoryBudgetNamed(const QString &size);
// The budget without -S: most of the memory available, leaving room for what is not counted
// (the program, its threads, the system's buffers).
[[nodiscard]] qint64 defaultMemoryBudget();

// The shares of a budget, each sized here and nowhere else. Reading takes the read, the copy
// of its input and the items at once, two thirds of the budget; a merge of runs takes its
// quarter beside the last items read, which wait in memory for it.
//
//   share                of the budget           for, and why that size
//   readBytes            a sixteenth,            the text read at a time, and tokenized
//                        64K to 4M               on all cores; more would be read in rounds
//                                                of 4M (ListFileReader::roundBytes) anyway
//   inputCopyBytes       an eighth, at most 1G   input that can be read only once (standard
//                                                input, a pipe, a device) kept in memory to
//                                                be read again from its start; the rest of
//                                                it goes to a temporary file
//   itemBytes            two thirds less the     the items of a file and the room sorting
//                        read                    them takes (another entry each); when they
//                                                reach it, they go to a run
//   itemBytesBesideCopy  the same, less the      the same, while the input's copy is kept
//                        copy                    in memory beside them
//   merge                a quarter:              merging the runs:
//    .readSize           half of it over the     the bytes read from each run at a time, by
//                        runs merged at once     each thread
//                        and one more, and over
//                        the merging threads;
//                        16K to 4M
//    .rangeBytes         the other half over     a range of keys that a thread merges ahead
//                        the threads and three   of the writer, a few at a time
//                        more; 64K to 64M
//    .chunkItems         a sixty-fourth,         the items handed to the writer at a time:
//                        counted in items;       enough to keep its threads busy, unless the
//                        1024 to 32K             memory for reading is small
//
// Below a budget of 1M, or of about 4M for each merging thread, the floors take more than
// their shares: 64K for a read, 16K of each run on each thread, 64K for each range (and 1024
// items for a chunk below 256K); fewer bytes would read and merge too little at a time.
struct BudgetPlan {
    // The least a read takes before the items go to a run.
    static constexpr qint64 minimumReadBytes = 64 << 10;

    qsizetype readBytes;
    qint64 inputCopyBytes;
    qint64 itemBytes;
    qint64 itemBytesBesideCopy;
    MergeMemory merge;
};

// The shares of budget, for a merge on mergeThreads threads (mergeThreadCount()).
[[nodiscard]] BudgetPlan budgetPlan(qint64 budget, int mergeThreads);
