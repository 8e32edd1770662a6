#include "runs/runstore.h"

#include "order/sorting.h"
#include "parallel.h"
#include "platform.h"

#include <algorithm>

namespace
{
// Files open while runs are merged, besides the runs: the output, its replacement, a copy of
// an input, a second handle.
constexpr qint64 otherFiles = 4;
// Entries of a run laid out for its file at a time, in a piece for each core.
constexpr qsizetype layoutEntries = 64 * 1024;
// How many items ahead of the one copied into a run the next is asked for.
constexpr qsizetype prefetchDistance = 8;
} // namespace

RunStore::RunStore(QString folder, bool reversed, MergeMemory memory)
    : m_folder(std::move(folder)), m_reversed(reversed), m_memory(memory),
      // As many runs as the limit of open files leaves room for: the runs waiting, and one
      // more being written.
      m_maxOpen(size_t(std::max<qint64>(platform::openFileRoom() - otherFiles, 3))),
      m_fanIn(std::min(mergeWidth, m_maxOpen - 1))
{
}

bool RunStore::add(ItemBatch &batch, const Collation &collation, int input)
{
    {
        // The items are freed before the merges below take memory of their own.
        ItemRun run = batch.takeItems();
        keyAndSort(run.entries, collation, {}, &m_sortRoom);
        StoredRun stored{std::make_unique<RunFile>(), input, 0, run.loneSurrogateCount, 0};
        if (!stored.file->create(m_folder) || !writeRun(*stored.file, run, stored.itemBytes) ||
            !stored.file->finishWriting())
            return failWriting(*stored.file);
        m_runs.push_back(std::move(stored));
        m_spareEntries = std::move(run.entries);
    }
    m_collation.emplace(collation);
    // Runs are merged as they come, a group of the same level at a time, so that few files
    // are open at once and each item is merged again only a few times. Runs of the input
    // being read are merged only among themselves, since it may be read again from the
    // start; those of earlier inputs are final.
    for (int level = 0; size_t(level) < m_runs.size();) {
        bool merged = false;
        for (const bool earlier : {true, false}) {
            const auto inGroup = [=](const StoredRun &run) {
                return run.level == level && (earlier ? run.input < input : run.input == input);
            };
            if (size_t(std::count_if(m_runs.begin(), m_runs.end(), inGroup)) < m_fanIn)
                continue;
            if (!mergeGroup(inGroup, earlier ? -1 : input, level + 1))
                return false;
            merged = true;
        }
        level = merged ? 0 : level + 1;
    }
    // Under a tight limit of open files, the lowest runs of a group merge before their level
    // fills.
    while (m_runs.size() + 1 >= m_maxOpen) {
        std::stable_sort(m_runs.begin(), m_runs.end(),
                         [](const StoredRun &a, const StoredRun &b) { return a.level < b.level; });
        bool merged = false;
        for (const bool earlier : {true, false}) {
            const auto inGroup = [=](const StoredRun &run) {
                return earlier ? run.input < input : run.input == input;
            };
            if (merged || std::count_if(m_runs.begin(), m_runs.end(), inGroup) < 2)
                continue;
            const auto first = std::find_if(m_runs.begin(), m_runs.end(), inGroup);
            if (!mergeGroup(inGroup, earlier ? -1 : input, first->level + 1))
                return false;
            merged = true;
        }
        if (!merged)
            break;
    }
    batch.reuseEntries(std::move(m_spareEntries));
    return true;
}

bool RunStore::writeRun(RunFile &file, const ItemRun &run, qint64 &itemBytes)
{
    const auto count = qsizetype(run.entries.size());
    const auto entryAt = [&](qsizetype position) -> const ItemEntry & {
        return run.entries[size_t(m_reversed ? count - 1 - position : position)];
    };
    std::vector<std::string> pieces;
    std::vector<qint64> pieceBytes;
    for (qsizetype start = 0; start < count; start += layoutEntries) {
        const qsizetype length = std::min(count - start, layoutEntries);
        const int threads = threadCountFor(length, minimumEntriesPerThread);
        pieces.resize(size_t(threads));
        pieceBytes.assign(size_t(threads), 0);
        runInParallel(threads, [&](int part) {
            // The part's piece and count are worked on apart from the other parts', which
            // share their cache lines.
            std::string piece = std::move(pieces[size_t(part)]);
            piece.clear();
            qint64 bytes = 0;
            const qsizetype end = start + partBegin(length, threads, part + 1);
            for (qsizetype position = start + partBegin(length, threads, part); position < end;
                 ++position) {
                // Items lie in list order, scattered in memory: each is asked for a few items
                // ahead, so that the wait for it overlaps the copying of those before it.
                if (end - position > prefetchDistance)
                    platform::prefetch(entryAt(position + prefetchDistance).item);
                const ItemEntry &entry = entryAt(position);
                bytes += entry.item->byteSize();
                RunFile::appendRecord(entry, piece);
            }
            pieces[size_t(part)] = std::move(piece);
            pieceBytes[size_t(part)] = bytes;
        });
        for (int part = 0; part < threads; ++part) {
            itemBytes += pieceBytes[size_t(part)];
            if (!file.appendRecords(pieces[size_t(part)]))
                return false;
        }
    }
    return true;
}

void RunStore::dropInput(int input)
{
    std::erase_if(m_runs, [&](const StoredRun &run) { return run.input == input; });
}

bool RunStore::failWriting(const RunFile &file)
{
    m_failedTo = "write temporary file in";
    m_errorString = file.errorString();
    return false;
}

ItemStream RunStore::readingFails(ItemStream merge)
{
    return ItemStream([this, merge = std::move(merge)](std::vector<ItemEntry> &chunk,
                                                       QString &errorString) mutable {
        if (merge.next(chunk, errorString))
            return true;
        m_failedTo = "read temporary file in";
        m_errorString = errorString;
        return false;
    });
}

bool RunStore::prepare(ItemBatch &&last, const Collation &collation)
{
    m_collation.emplace(collation);
    m_last = last.takeItems();
    keyAndSort(m_last.entries, collation, {}, &m_sortRoom);
    freeSortMemory();
    // The merge reads the run in memory in its own order.
    if (m_reversed)
        std::reverse(m_last.entries.begin(), m_last.entries.end());
    m_loneSurrogateCount = m_last.loneSurrogateCount;
    m_itemBytes = 0;
    for (const ItemEntry &entry : m_last.entries)
        m_itemBytes += entry.item->byteSize();
    for (const StoredRun &run : m_runs) {
        m_loneSurrogateCount += run.loneSurrogates;
        m_itemBytes += run.itemBytes;
    }
    // The runs left are merged a group at a time, shortest first, until one merge can read
    // them all.
    while (m_runs.size() > m_fanIn) {
        std::stable_sort(m_runs.begin(), m_runs.end(),
                         [](const StoredRun &a, const StoredRun &b) { return a.level < b.level; });
        if (!mergeGroup([](const StoredRun &) { return true; }, -1, m_runs[m_fanIn - 1].level + 1))
            return false;
    }
    return true;
}

void RunStore::freeSortMemory()
{
    std::vector<ItemEntry>().swap(m_sortRoom);
    std::vector<ItemEntry>().swap(m_spareEntries);
}

bool RunStore::mergeGroup(const std::function<bool(const StoredRun &)> &inGroup, int input,
                          int level)
{
    freeSortMemory();
    std::vector<StoredRun> group;
    for (auto run = m_runs.begin(); run != m_runs.end() && group.size() < m_fanIn;) {
        if (inGroup(*run)) {
            group.push_back(std::move(*run));
            run = m_runs.erase(run);
        } else {
            ++run;
        }
    }
    StoredRun merged{std::make_unique<RunFile>(), input, level, 0, 0};
    if (!merged.file->create(m_folder))
        return failWriting(*merged.file);
    MergeInput files;
    for (StoredRun &run : group) {
        files.files.push_back(run.file.get());
        merged.loneSurrogates += run.loneSurrogates;
        merged.itemBytes += run.itemBytes;
    }
    ItemStream items = readingFails(mergeInRanges(files, *m_collation, m_reversed, m_memory));
    std::vector<ItemEntry> chunk;
    do {
        QString reason;
        if (!items.next(chunk, reason))
            return false;
        for (const ItemEntry &entry : chunk) {
            if (!merged.file->append(entry))
                return failWriting(*merged.file);
        }
    } while (!chunk.empty());
    if (!merged.file->finishWriting())
        return failWriting(*merged.file);
    m_runs.push_back(std::move(merged));
    return true;
}

ItemStream RunStore::merge()
{
    MergeInput input{{}, &m_last.entries};
    for (const StoredRun &run : m_runs)
        input.files.push_back(run.file.get());
    return readingFails(mergeInRanges(input, *m_collation, m_reversed, m_memory));
}
