#include "itemsorting.h"

#include "collation.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {
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

// Runs part(0) … part(parts - 1), each on its own thread but the first.
template<typename Part>
void runInParallel(int parts, const Part &part)
{
    std::vector<std::jthread> threads;
    for (int index = 1; index < parts; ++index)
        threads.emplace_back(part, index);
    part(0);
}

qsizetype partBegin(qsizetype count, int parts, int index)
{
    return count * index / parts;
}

// An item with the first eight bytes of its key inline, so that most comparisons while
// sorting touch no item memory.
struct SortRecord
{
    quint64 prefix;
    Item *item;

    bool operator<(const SortRecord &other) const
    {
        if (prefix != other.prefix)
            return prefix < other.prefix;
        return *item < *other.item;
    }
};

quint64 keyPrefix(const char *key)
{
    quint64 prefix = 0;
    qsizetype index = 0;
    for (; index < 8 && key[index]; ++index)
        prefix = (prefix << 8) | quint8(key[index]);
    return prefix << (8 * (8 - index));
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

void keyAndSort(std::vector<Item *> &items, const Collation &collation, Arena &keyArena)
{
    const auto count = qsizetype(items.size());
    const int parts = threadCountFor(count);
    std::vector<Arena> arenas(parts);
    std::vector<SortRecord> records(count);
    runInParallel(parts, [&](int part) {
        const Collation own(collation);
        std::vector<quint8> scratch;
        const qsizetype end = partBegin(count, parts, part + 1);
        for (qsizetype index = partBegin(count, parts, part); index < end; ++index) {
            assignKey(*items[index], own, arenas[part], scratch);
            records[index] = {keyPrefix(items[index]->key), items[index]};
        }
        std::sort(records.begin() + partBegin(count, parts, part), records.begin() + end);
    });
    for (Arena &arena : arenas)
        keyArena.adopt(std::move(arena));

    // Merge the sorted parts pairwise, each round's merges in parallel.
    std::vector<SortRecord> merged(parts > 1 ? count : 0);
    for (int width = 1; width < parts; width *= 2) {
        runInParallel(parts / (width * 2), [&](int pair) {
            const qsizetype begin = partBegin(count, parts, pair * width * 2);
            const qsizetype middle = partBegin(count, parts, pair * width * 2 + width);
            const qsizetype end = partBegin(count, parts, (pair + 1) * width * 2);
            std::merge(records.begin() + begin, records.begin() + middle,
                       records.begin() + middle, records.begin() + end, merged.begin() + begin);
        });
        records.swap(merged);
    }
    for (qsizetype index = 0; index < count; ++index)
        items[index] = records[index].item;
}

namespace {
// The first position in [0, end) whose item sorts after item, searched from the right in
// growing steps, so that items landing near the end cost few comparisons.
qsizetype upperBoundFromRight(const std::vector<Item *> &items, qsizetype end, const Item &item)
{
    const auto after = [](const Item &probe, const Item *other) { return probe < *other; };
    qsizetype high = end;
    for (qsizetype step = 1; high > 0; step *= 2) {
        const qsizetype probe = high > step ? high - step : 0;
        if (!after(item, items[probe]))
            return std::upper_bound(items.begin() + probe + 1, items.begin() + high, item, after) -
                   items.begin();
        high = probe;
    }
    return 0;
}
} // namespace

void mergeSortedRanges(std::vector<Item *> &items, qsizetype middle)
{
    const auto end = qsizetype(items.size());
    if (middle == 0 || middle == end || !(*items[middle] < *items[middle - 1]))
        return;
    const std::vector<Item *> tail(items.begin() + middle, items.end());
    qsizetype headEnd = middle;
    qsizetype out = end;
    for (auto next = tail.rbegin(); next != tail.rend(); ++next) {
        const qsizetype from = upperBoundFromRight(items, headEnd, **next);
        out = std::move_backward(items.begin() + from, items.begin() + headEnd,
                                 items.begin() + out) -
              items.begin();
        headEnd = from;
        items[--out] = *next;
        if (headEnd == 0) {
            std::copy(tail.begin(), tail.begin() + (tail.rend() - next - 1), items.begin());
            break;
        }
    }
}
