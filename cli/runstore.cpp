#include "runstore.h"

#include <algorithm>

namespace
{
// Runs merged at once: more would each get too little of the memory for reading.
constexpr size_t mergeWidth = 32;
// Items handed to the writer at a time: enough to keep its threads busy.
constexpr qsizetype chunkItems = 32 * 1024;
// Entries handed to the merge at a time from the run kept in memory.
constexpr size_t blockEntries = 4096;
} // namespace

bool RunStore::add(ItemBatch &&batch, const Collation &collation, int input)
{
    const ItemRun run = batch.takeRun(collation);
    Run stored{std::make_unique<RunFile>(), input, run.loneSurrogateCount, 0};
    if (!stored.file->create(m_folder) || !writeRun(*stored.file, run, stored.itemBytes))
        return failWriting(*stored.file);
    m_runs.push_back(std::move(stored));
    return true;
}

bool RunStore::writeRun(RunFile &file, const ItemRun &run, qint64 &itemBytes)
{
    const ItemEntry *previous = nullptr;
    const auto write = [&](const ItemEntry &entry) {
        if (m_form.unique && previous && previous->item->utf8() == entry.item->utf8())
            return true;
        previous = &entry;
        itemBytes += entry.item->byteSize();
        return file.append(entry);
    };
    if (m_form.reversed)
        return std::all_of(run.entries.rbegin(), run.entries.rend(), write);
    return std::all_of(run.entries.begin(), run.entries.end(), write);
}

void RunStore::dropInput(int input)
{
    std::erase_if(m_runs, [&](const Run &run) { return run.input == input; });
}

bool RunStore::failWriting(const RunFile &file)
{
    m_failedTo = "write temporary file in";
    m_errorString = file.errorString();
    return false;
}

RunMerger::Source RunStore::readerOf(RunFile &file)
{
    return [this, &file](std::vector<ItemEntry> &entries, QString &errorString) {
        if (file.readNext(entries))
            return true;
        m_failedTo = "read temporary file in";
        m_errorString = errorString = file.errorString();
        return false;
    };
}

bool RunStore::prepare(ItemBatch &&last, const Collation &collation, qint64 memory)
{
    m_collation.emplace(collation);
    m_last = last.takeRun(collation);
    m_loneSurrogateCount = m_last.loneSurrogateCount;
    m_itemBytes = 0;
    for (const ItemEntry &entry : m_last.entries)
        m_itemBytes += entry.item->byteSize();
    for (const Run &run : m_runs) {
        m_loneSurrogateCount += run.loneSurrogates;
        m_itemBytes += run.itemBytes;
    }
    m_readSize = std::clamp<qint64>(memory / qint64(2 * (mergeWidth + 1)), 64 << 10, 4 << 20);
    // Runs are merged a group at a time into longer runs until one merge can read them all.
    while (m_runs.size() > mergeWidth) {
        std::vector<Run> group;
        std::move(m_runs.begin(), m_runs.begin() + mergeWidth, std::back_inserter(group));
        m_runs.erase(m_runs.begin(), m_runs.begin() + mergeWidth);
        Run merged{std::make_unique<RunFile>(), -1, 0, 0};
        if (!merged.file->create(m_folder))
            return failWriting(*merged.file);
        RunMerger merger(*m_collation, m_form.reversed, m_form.unique);
        for (Run &run : group) {
            if (!run.file->rewind(m_readSize))
                return failWriting(*run.file);
            merger.add(readerOf(*run.file));
            merged.loneSurrogates += run.loneSurrogates;
            merged.itemBytes += run.itemBytes;
        }
        std::vector<ItemEntry> chunk;
        do {
            QString reason;
            if (!merger.next(chunk, chunkItems, reason))
                return false;
            for (const ItemEntry &entry : chunk) {
                if (!merged.file->append(entry))
                    return failWriting(*merged.file);
            }
        } while (!chunk.empty());
        m_runs.push_back(std::move(merged));
    }
    return true;
}

ItemChunks RunStore::merge()
{
    m_merger = std::make_unique<RunMerger>(*m_collation, m_form.reversed, m_form.unique);
    bool rewound = true;
    for (Run &run : m_runs) {
        rewound = rewound && (run.file->rewind(m_readSize) || failWriting(*run.file));
        m_merger->add(readerOf(*run.file));
    }
    // The run in memory, in blocks, backwards when the merge is.
    m_merger->add([this, next = size_t(0)](std::vector<ItemEntry> &entries, QString &) mutable {
        const std::vector<ItemEntry> &all = m_last.entries;
        const size_t end = std::min(all.size(), next + blockEntries);
        if (m_form.reversed)
            entries.assign(all.rbegin() + ptrdiff_t(next), all.rbegin() + ptrdiff_t(end));
        else
            entries.assign(all.begin() + ptrdiff_t(next), all.begin() + ptrdiff_t(end));
        next = end;
        return true;
    });
    return [this, rewound](std::vector<ItemEntry> &chunk, QString &errorString) {
        if (!rewound) {
            errorString = m_errorString;
            return false;
        }
        return m_merger->next(chunk, chunkItems, errorString);
    };
}
