#include "runs/mergeplan.h"

#include "order/collation.h"
#include "runs/runfile.h"

#include <algorithm>

MergePlan planMerge(const MergeInput &input, const Collation &collation, bool reversed,
                    qint64 rangeBytes)
{
    const auto before = [&](const ItemEntry &a, const ItemEntry &b) {
        return reversed ? collation.less(b, a) : collation.less(a, b);
    };
    MergePlan plan;
    // The records kept in memory of every run, in the merge's order, stand for the
    // whole: ranges of about rangeBytes start at every so many of them.
    std::vector<ItemEntry> samples;
    qint64 bytes = 0;
    for (const RunFile *file : input.files) {
        bytes += file->size();
        for (const RunFile::Sample &sample : file->samples())
            samples.push_back(sample.entry());
    }
    if (input.inMemory) {
        const std::vector<ItemEntry> &entries = *input.inMemory;
        for (size_t index = 0; index < entries.size(); index += memorySampleSpacing)
            samples.push_back(entries[index]);
        bytes += qint64(entries.size()) * 24; // about what they take in a file
    }
    // A range reads little outside itself when it spans a few records kept in memory in
    // each run; with less memory than such ranges take, one range, on one thread.
    const bool split = rangeBytes >= 4 * RunFile::sampleSpacing * qint64(input.files.size() + 1);
    const qint64 ranges =
        split ? std::clamp<qint64>(bytes / rangeBytes, 1, qint64(samples.size())) : 1;
    std::sort(samples.begin(), samples.end(), before);
    for (qint64 range = 1; range < ranges; ++range) {
        const ItemEntry &splitter = samples[size_t(range * qint64(samples.size()) / ranges)];
        std::string record;
        RunFile::appendRecord(splitter, record);
        if (plan.splitters.empty() || plan.splitters.back() != record)
            plan.splitters.push_back(std::move(record));
    }
    // Each range starts in each run at the last record kept in memory that comes before
    // its splitter: what lies between is passed over as the range is read.
    for (size_t range = 0; range <= plan.splitters.size(); ++range) {
        std::vector<qint64> starts(input.files.size(), 0);
        std::vector<qint64> limits(input.files.size(), 0);
        qsizetype memoryStart = 0;
        if (range > 0) {
            const ItemEntry splitter = RunFile::entryOfRecord(plan.splitters[range - 1].data());
            const auto comesFirst = [&](const ItemEntry &entry) { return before(entry, splitter); };
            for (size_t file = 0; file < input.files.size(); ++file) {
                const auto &kept = input.files[file]->samples();
                const auto after =
                    std::partition_point(kept.begin(), kept.end(), [&](const auto &sample) {
                        return comesFirst(sample.entry());
                    });
                starts[file] = after == kept.begin() ? 0 : std::prev(after)->offset;
                limits[file] = after == kept.end() ? input.files[file]->size() : after->offset;
            }
            if (input.inMemory)
                memoryStart = std::partition_point(input.inMemory->begin(), input.inMemory->end(),
                                                   comesFirst) -
                              input.inMemory->begin();
        }
        plan.fileLimits.push_back(std::move(limits));
        plan.fileStarts.push_back(std::move(starts));
        plan.memoryStarts.push_back(memoryStart);
    }
    return plan;
}
