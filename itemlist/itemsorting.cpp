#include "itemsorting.h"

#include "collation.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <thread>

namespace
{
// Below this many items per thread, starting threads costs more than it saves.
constexpr qsizetype minimumPerThread = 1 << 15;

int threadCountFor(qsizetype count)
{
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    int threads = 1;
    while (threads * 2 <= std::min(cores, 8) && count / (threads * 2) >= minimumPerThread)
        threads *= 2;
    return threads;
}

// Runs part(0) … part(parts - 1), each on its own thread but the first. An exception in
// any part, such as std::bad_alloc, reaches the caller once all parts have ended.
template <typename Part> void runInParallel(int parts, const Part &part)
{
    std::vector<std::exception_ptr> failures(parts);
    {
        const auto guarded = [&](int index) {
            try {
                part(index);
            } catch (...) {
                failures[index] = std::current_exception();
            }
        };
        std::vector<std::jthread> threads;
        for (int index = 1; index < parts; ++index)
            threads.emplace_back(guarded, index);
        guarded(0);
    }
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

qsizetype partBegin(qsizetype count, int parts, int index)
{
    return count * index / parts;
}

// An item with sixteen bytes of its sort key inline, so that sorting compares plain numbers
// and reads an item's scattered memory only once per sixteen key bytes.
struct SortRecord {
    // Key bytes [depth, depth + 16), big-endian, zero after the key's end.
    quint64 high;
    quint64 low;
    Item *item;

    bool operator<(const SortRecord &other) const
    {
        return high != other.high ? high < other.high : low < other.low;
    }
    bool sameChunk(const SortRecord &other) const { return high == other.high && low == other.low; }
};

constexpr qsizetype chunkBytes = 16;

void loadChunk(SortRecord &record, qsizetype depth)
{
    const char *bytes = record.item->key + depth;
    record.high = keyWord(bytes);
    record.low = (record.high & 0xFF) != 0 ? keyWord(bytes + 8) : 0;
}

// A key ends inside a chunk exactly when the chunk's last byte is the zero after it.
bool keyGoesOn(const SortRecord &record)
{
    return (record.low & 0xFF) != 0;
}

// Items whose keys are equal are nearly always equal texts; only those that are not
// need sorting by code unit.
void sortEqualKeys(SortRecord *begin, SortRecord *end)
{
    const auto differs = [](const SortRecord &a, const SortRecord &b) {
        return a.item->text() != b.item->text();
    };
    if (std::adjacent_find(begin, end, differs) != end)
        std::sort(begin, end, [](const SortRecord &a, const SortRecord &b) {
            return a.item->text() < b.item->text();
        });
}

struct SortTask {
    SortRecord *begin;
    SortRecord *end;
    qsizetype depth;
};

// A run of records sharing their first sixteen key bytes, sorted further by deeper chunks.
struct DeeperRun {
    SortRecord *begin;
    SortRecord *end;
    quint64 prefix;
};

// Sorts records whose chunks hold key bytes [0, 16): by chunk, then each run of equal chunks
// by the following key bytes, and runs of equal keys by text. Afterwards every record's high
// holds its first eight key bytes again.
void sortRecords(SortRecord *begin, SortRecord *end)
{
    std::vector<SortTask> tasks{{begin, end, 0}};
    std::vector<DeeperRun> deeperRuns;
    while (!tasks.empty()) {
        const SortTask task = tasks.back();
        tasks.pop_back();
        std::sort(task.begin, task.end);
        for (SortRecord *run = task.begin; run != task.end;) {
            SortRecord *runEnd = run + 1;
            while (runEnd != task.end && runEnd->sameChunk(*run))
                ++runEnd;
            if (runEnd - run > 1) {
                if (keyGoesOn(*run)) {
                    if (task.depth == 0)
                        deeperRuns.push_back({run, runEnd, run->high});
                    for (SortRecord *record = run; record != runEnd; ++record)
                        loadChunk(*record, task.depth + chunkBytes);
                    tasks.push_back({run, runEnd, task.depth + chunkBytes});
                } else {
                    sortEqualKeys(run, runEnd);
                }
            }
            run = runEnd;
        }
    }
    for (const DeeperRun &run : deeperRuns)
        for (SortRecord *record = run.begin; record != run.end; ++record)
            record->high = run.prefix;
}

// Splits records around a sampled chunk value and sorts the two sides on separate threads,
// so that no merge is needed afterwards.
void sortRecordsInParallel(SortRecord *begin, SortRecord *end, int threads)
{
    const qsizetype count = end - begin;
    if (threads > 1 && count >= 2 * minimumPerThread) {
        std::array<quint64, 63> sample;
        for (qsizetype index = 0; index < qsizetype(sample.size()); ++index)
            sample[index] = begin[count * index / qsizetype(sample.size())].high;
        std::nth_element(sample.begin(), sample.begin() + sample.size() / 2, sample.end());
        const quint64 pivot = sample[sample.size() / 2];
        SortRecord *middle =
            std::partition(begin, end, [pivot](const SortRecord &r) { return r.high < pivot; });
        if (middle == begin)
            middle = std::partition(begin, end,
                                    [pivot](const SortRecord &r) { return r.high <= pivot; });
        if (middle != end) {
            runInParallel(2, [&](int part) {
                if (part == 0)
                    sortRecordsInParallel(middle, end, threads - threads / 2);
                else
                    sortRecordsInParallel(begin, middle, threads / 2);
            });
            return;
        }
    }
    sortRecords(begin, end);
}
} // namespace

void computeKey(QStringView text, const Collation &collation, std::vector<quint8> &scratch)
{
    if (scratch.size() < 256)
        scratch.resize(256);
    const qsizetype length = collation.sortKey(text, scratch.data(), qsizetype(scratch.size()));
    if (length > qsizetype(scratch.size())) {
        scratch.resize(length);
        collation.sortKey(text, scratch.data(), length);
    }
}

void assignKey(Item &item, const Collation &collation, Arena &keyArena,
               std::vector<quint8> &scratch)
{
    computeKey(item.text(), collation, scratch);
    const auto length = qsizetype(std::strlen(reinterpret_cast<const char *>(scratch.data())) + 1);
    auto *key = static_cast<char *>(keyArena.allocate(length, 1));
    std::memcpy(key, scratch.data(), length);
    item.key = key;
}

void keyAndSort(std::vector<ItemEntry> &items, const Collation &collation, Arena &keyArena)
{
    const auto count = qsizetype(items.size());
    const int threads = threadCountFor(count);
    std::vector<Arena> arenas(threads);
    std::vector<SortRecord> records(count);
    runInParallel(threads, [&](int part) {
        const Collation own(collation);
        std::vector<quint8> scratch;
        const qsizetype end = partBegin(count, threads, part + 1);
        for (qsizetype index = partBegin(count, threads, part); index < end; ++index) {
            assignKey(*items[index].item, own, arenas[part], scratch);
            records[index].item = items[index].item;
            loadChunk(records[index], 0);
        }
    });
    for (Arena &arena : arenas)
        keyArena.adopt(std::move(arena));
    sortRecordsInParallel(records.data(), records.data() + count, threads);
    for (qsizetype index = 0; index < count; ++index)
        items[index] = {records[index].high, records[index].item};
}

namespace
{
// The first position in [0, end) whose item sorts after item, searched from the right in
// growing steps, so that items landing near the end cost few comparisons.
qsizetype upperBoundFromRight(const std::vector<ItemEntry> &items, qsizetype end,
                              const ItemEntry &item)
{
    qsizetype high = end;
    for (qsizetype step = 1; high > 0; step *= 2) {
        const qsizetype probe = high > step ? high - step : 0;
        if (!(item < items[probe]))
            return std::upper_bound(items.begin() + probe + 1, items.begin() + high, item) -
                   items.begin();
        high = probe;
    }
    return 0;
}
} // namespace

void mergeSortedRanges(std::vector<ItemEntry> &items, qsizetype middle)
{
    const auto end = qsizetype(items.size());
    if (middle == 0 || middle == end || !(items[middle] < items[middle - 1]))
        return;
    const std::vector<ItemEntry> tail(items.begin() + middle, items.end());
    qsizetype headEnd = middle;
    qsizetype out = end;
    for (auto next = tail.rbegin(); next != tail.rend(); ++next) {
        const qsizetype from = upperBoundFromRight(items, headEnd, *next);
        out =
            std::move_backward(items.begin() + from, items.begin() + headEnd, items.begin() + out) -
            items.begin();
        headEnd = from;
        items[--out] = *next;
        if (headEnd == 0) {
            std::copy(tail.begin(), tail.begin() + (tail.rend() - next - 1), items.begin());
            break;
        }
    }
}
