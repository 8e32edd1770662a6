#include "order/sorting.h"

#include "order/collation.h"
#include "order/tieresolver.h"
#include "parallel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <numeric>
#include <utility>

namespace
{
// A lambda rather than a function, so that std::sort inlines it.
constexpr auto byPrefix = [](const ItemEntry &a, const ItemEntry &b) {
    return a.keyPrefix < b.keyPrefix;
};

// Sorts [first, last), whose prefixes agree above the byte at shift, by that byte and the
// bytes below it: a counting pass for each byte, through scratch, which has room for as many.
// Small ranges go to std::sort, which is faster there.
void sortByPrefixBytes(ItemEntry *first, ItemEntry *last, ItemEntry *scratch, int shift)
{
    const qsizetype count = last - first;
    if (count < 64) {
        std::sort(first, last, byPrefix);
        return;
    }
    for (; shift >= 0; shift -= 8) {
        const auto byteOf = [shift](const ItemEntry &entry) {
            return size_t(quint8(entry.keyPrefix >> shift));
        };
        std::array<qsizetype, 257> starts{};
        for (const ItemEntry *entry = first; entry != last; ++entry)
            ++starts[byteOf(*entry) + 1];
        // Ties of text that agree on this byte, such as the letters after a common word,
        // pass on to the next byte without moving.
        if (std::find(starts.begin() + 1, starts.end(), count) != starts.end())
            continue;
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        std::array<qsizetype, 256> next;
        std::copy(starts.begin(), starts.end() - 1, next.begin());
        for (const ItemEntry *entry = first; entry != last; ++entry)
            scratch[next[byteOf(*entry)]++] = *entry;
        std::copy(scratch, scratch + count, first);
        if (shift > 0) {
            for (size_t byte = 0; byte < 256; ++byte) {
                if (starts[byte + 1] - starts[byte] > 1)
                    sortByPrefixBytes(first + starts[byte], first + starts[byte + 1],
                                      scratch + starts[byte], shift - 8);
            }
        }
        return;
    }
}

// Sorts entries by key prefix: one radix pass on the prefix's first two bytes, which for
// most text spreads the entries over thousands of buckets, then each bucket on its own.
// The pass copies the entries into room, which then swaps with them; the old entries' room
// is then the buckets' scratch.
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
    // Parts take whole buckets, about equal shares of the entries each.
    runInParallel(threads, [&](int part) {
        const auto first = std::lower_bound(bucketStarts.begin(), bucketStarts.end(),
                                            partBegin(count, threads, part));
        const auto last = std::lower_bound(bucketStarts.begin(), bucketStarts.end(),
                                           partBegin(count, threads, part + 1));
        for (auto bucket = first;
             bucket < last && bucket + 1 < bucketStarts.end() && !stop.stop_requested(); ++bucket)
            sortByPrefixBytes(entries.data() + *bucket, entries.data() + *(bucket + 1),
                              room.data() + *bucket, 40);
    });
    // Sorting the ties takes memory of its own.
    std::vector<ItemEntry>().swap(ownRoom);
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
    // Ties cost unevenly along the list: the threads take small parts in turn, so that none
    // waits long for the others.
    const int parts = threads == 1 ? 1 : 16 * threads;
    std::atomic<int> nextPart = 0;
    runInParallel(threads, [&](int) {
        const Collation own(collation);
        TieResolver resolver(own);
        for (int part = nextPart++; part < parts; part = nextPart++) {
            const qsizetype end = runStart(partBegin(count, parts, part + 1));
            for (qsizetype run = runStart(partBegin(count, parts, part));
                 run < end && !stop.stop_requested();) {
                qsizetype runEnd = run + 1;
                while (runEnd < count && entries[runEnd].keyPrefix == entries[run].keyPrefix)
                    ++runEnd;
                if (runEnd - run > 1)
                    resolver.resolve(entries.data() + run, entries.data() + runEnd);
                run = runEnd;
            }
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
