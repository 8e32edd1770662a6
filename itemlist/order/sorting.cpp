#include "order/sorting.h"

#include "order/collation.h"
#include "order/tieresolver.h"
#include "parallel.h"

#include <algorithm>
#include <utility>

namespace
{
// A lambda rather than a function, so that std::sort inlines it.
constexpr auto byPrefix = [](const ItemEntry &a, const ItemEntry &b) {
    return a.keyPrefix < b.keyPrefix;
};

// Sorts entries by key prefix: one radix pass on the prefix's first two bytes, which for
// most text spreads the entries over thousands of buckets, then each bucket on its own.
// The pass copies the entries into room, which then swaps with them.
void sortByPrefix(std::vector<ItemEntry> &entries, std::vector<ItemEntry> *keptRoom, int threads,
                  const std::stop_token &stop)
{
    const auto count = qsizetype(entries.size());
    constexpr int bucketCount = 1 << 16;
    const auto bucketOf = [](const ItemEntry &entry) { return size_t(entry.keyPrefix >> 48); };
    if (count < bucketCount) {
        std::sort(entries.begin(), entries.end(), byPrefix);
        return;
    }
    std::vector<std::vector<qsizetype>> offsets(threads, std::vector<qsizetype>(bucketCount));
    runInParallel(threads, [&](int part) {
        for (qsizetype index = partBegin(count, threads, part);
             index < partBegin(count, threads, part + 1); ++index)
            ++offsets[part][bucketOf(entries[index])];
    });
    // Each part scatters into its own share of each bucket, after the shares of the parts
    // before it; bucketStarts ends with the total.
    std::vector<qsizetype> bucketStarts(bucketCount + 1);
    qsizetype next = 0;
    for (int bucket = 0; bucket < bucketCount; ++bucket) {
        bucketStarts[bucket] = next;
        for (int part = 0; part < threads; ++part)
            next += std::exchange(offsets[part][bucket], next);
    }
    bucketStarts[bucketCount] = next;
    std::vector<ItemEntry> ownRoom;
    std::vector<ItemEntry> &room = keptRoom ? *keptRoom : ownRoom;
    // Room kept from a sort of many more entries goes, so that what is kept follows what
    // the sorts take.
    if (room.capacity() > 2 * entries.size())
        std::vector<ItemEntry>().swap(room);
    room.resize(entries.size());
    runInParallel(threads, [&](int part) {
        for (qsizetype index = partBegin(count, threads, part);
             index < partBegin(count, threads, part + 1); ++index)
            room[offsets[part][bucketOf(entries[index])]++] = entries[index];
    });
    entries.swap(room);
    // Sorting the buckets and their ties takes memory of its own.
    std::vector<ItemEntry>().swap(ownRoom);
    // Parts take whole buckets, about equal shares of the entries each.
    runInParallel(threads, [&](int part) {
        const auto first = std::lower_bound(bucketStarts.begin(), bucketStarts.end(),
                                            partBegin(count, threads, part));
        const auto last = std::lower_bound(bucketStarts.begin(), bucketStarts.end(),
                                           partBegin(count, threads, part + 1));
        for (auto bucket = first;
             bucket < last && bucket + 1 < bucketStarts.end() && !stop.stop_requested(); ++bucket)
            std::sort(entries.begin() + *bucket, entries.begin() + *(bucket + 1), byPrefix);
    });
}

// Orders every run of entries that share a key prefix.
void resolveTies(std::vector<ItemEntry> &entries, const Collation &collation, int threads,
                 const std::stop_token &stop)
{
    const auto count = qsizetype(entries.size());
    // Parts start where a run starts, so that no run is split between them.
    const auto runStart = [&](qsizetype index) {
        while (index > 0 && index < count &&
               entries[index].keyPrefix == entries[index - 1].keyPrefix)
            ++index;
        return index;
    };
    runInParallel(threads, [&](int part) {
        const Collation own(collation);
        TieResolver resolver(own);
        const qsizetype end = runStart(partBegin(count, threads, part + 1));
        for (qsizetype run = runStart(partBegin(count, threads, part));
             run < end && !stop.stop_requested();) {
            qsizetype runEnd = run + 1;
            while (runEnd < count && entries[runEnd].keyPrefix == entries[run].keyPrefix)
                ++runEnd;
            if (runEnd - run > 1)
                resolver.resolve(entries.data() + run, entries.data() + runEnd);
            run = runEnd;
        }
    });
}
} // namespace

void keyAndSort(std::vector<ItemEntry> &entries, const Collation &collation,
                const std::stop_token &stop, std::vector<ItemEntry> *keptRoom)
{
    const auto count = qsizetype(entries.size());
    const int threads = threadCountFor(count, minimumEntriesPerThread);
    runInParallel(threads, [&](int part) {
        const Collation own(collation);
        const qsizetype end = partBegin(count, threads, part + 1);
        for (qsizetype index = partBegin(count, threads, part);
             index < end && (index % 4096 != 0 || !stop.stop_requested()); ++index)
            entries[index].keyPrefix = own.keyPrefix(*entries[index].item);
    });
    if (stop.stop_requested())
        return;
    sortByPrefix(entries, keptRoom, threads, stop);
    if (!stop.stop_requested())
        resolveTies(entries, collation, threads, stop);
}

ItemRun sortedRun(ItemBatch &&batch, const Collation &collation, const std::stop_token &stop)
{
    ItemRun run = batch.takeItems();
    keyAndSort(run.entries, collation, stop);
    return run;
}
