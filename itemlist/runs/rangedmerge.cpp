#include "runs/rangedmerge.h"

#include "order/collation.h"
#include "parallel.h"
#include "runs/mergeplan.h"
#include "runs/runfile.h"
#include "runs/runmerger.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace
{
// Items merged, with bytes of their own.
struct Chunk {
    std::string bytes;
    std::vector<ItemEntry> entries;
};

class RangedMerge
{
public:
    RangedMerge(const MergeInput &input, const Collation &collation, bool reversed,
                MergeMemory memory)
        : m_input(input), m_collation(collation), m_reversed(reversed), m_memory(memory),
          m_plan(planMerge(input, collation, reversed, memory.rangeBytes))
    {
        m_ranges.resize(m_plan.fileStarts.size());
        const int threads = std::min(mergeThreadCount(), int(m_ranges.size()));
        for (int thread = 0; thread < threads; ++thread)
            m_workers.emplace_back([this](std::stop_token stop) { work(stop); });
    }

    ~RangedMerge()
    {
        for (std::jthread &worker : m_workers)
            worker.request_stop();
        m_changed.notify_all();
    }

    bool next(std::vector<ItemEntry> &chunk, QString &errorString)
    {
        chunk.clear();
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_current == m_ranges.size())
                return true;
            Range &range = m_ranges[m_current];
            m_changed.wait(lock, [&] { return !range.chunks.empty() || range.done; });
            if (range.failed) {
                errorString = range.errorString;
                return false;
            }
            if (!range.chunks.empty()) {
                // Handed on chunks stay until the call after the next.
                m_handed.push_back(std::move(range.chunks.front()));
                range.chunks.pop_front();
                if (m_handed.size() > 2) {
                    m_spare.push_back(std::move(m_handed.front()));
                    m_handed.pop_front();
                }
                chunk = m_handed.back()->entries;
                m_changed.notify_all();
                return true;
            }
            ++m_current;
            m_changed.notify_all();
        }
    }

private:
    struct Range {
        std::deque<std::unique_ptr<Chunk>> chunks; // merged and not handed on yet
        bool done = false;
        bool failed = false;
        QString errorString;
    };

    [[nodiscard]] bool before(const Collation &collation, const ItemEntry &a,
                              const ItemEntry &b) const
    {
        return m_reversed ? collation.less(b, a) : collation.less(a, b);
    }

    static ItemEntry entryOf(const std::string &record)
    {
        return RunFile::entryOfRecord(record.data());
    }

    void work(std::stop_token stop)
    {
        const Collation collation(m_collation);
        // Each range is merged in the same memory as the one before.
        RunMerger merger(collation, m_reversed);
        std::vector<std::string> readBuffers(m_input.files.size());
        const size_t ahead = m_workers.size();
        for (;;) {
            size_t index = 0;
            {
                std::unique_lock lock(m_mutex);
                // No more ranges ahead of the one handed on than threads.
                if (!m_changed.wait(lock, stop, [&] {
                        return m_taken == m_ranges.size() || m_taken <= m_current + ahead;
                    }))
                    return;
                if (m_taken == m_ranges.size())
                    return;
                index = m_taken++;
            }
            QString errorString;
            const bool merged =
                mergeRange(index, collation, merger, readBuffers, stop, errorString);
            {
                const std::lock_guard lock(m_mutex);
                m_ranges[index].done = true;
                m_ranges[index].failed = !merged;
                m_ranges[index].errorString = errorString;
            }
            m_changed.notify_all();
        }
    }

    // A chunk handed on before, with its memory, or a new one.
    std::unique_ptr<Chunk> spareChunk()
    {
        const std::lock_guard lock(m_mutex);
        if (m_spare.empty())
            return std::make_unique<Chunk>();
        auto chunk = std::move(m_spare.back());
        m_spare.pop_back();
        return chunk;
    }

    // Adds chunk to range index; waits while the range is being handed on and two chunks of
    // it are waiting already, so that a range merged as it is written takes little memory.
    // False once stop is requested.
    bool hand(size_t index, std::unique_ptr<Chunk> chunk, const std::stop_token &stop)
    {
        std::unique_lock lock(m_mutex);
        m_ranges[index].chunks.push_back(std::move(chunk));
        m_changed.notify_all();
        return m_changed.wait(
            lock, stop, [&] { return index != m_current || m_ranges[index].chunks.size() < 2; });
    }

    // The source of a merge of range index that reads run file into buffer from its start in
    // the range, passes over what comes before the range, and ends where the next range
    // starts.
    RunMerger::Source fileSource(size_t index, size_t file, const Collation &collation,
                                 std::string &buffer)
    {
        const qint64 start = m_plan.fileStarts[index][file];
        const bool last = index + 1 == m_plan.fileStarts.size();
        const qint64 end = last ? 0 : m_plan.fileStarts[index + 1][file];
        // Nothing at or past the limit of the next range's start is in this range.
        const qint64 limit =
            last ? m_input.files[file]->size() : m_plan.fileLimits[index + 1][file];
        auto reader = std::make_shared<RunReader>(*m_input.files[file], start, limit,
                                                  m_memory.readSize, buffer);
        const std::string *from = index == 0 ? nullptr : &m_plan.splitters[index - 1];
        const std::string *to = last ? nullptr : &m_plan.splitters[index];
        return [this, reader, from, to, end, &collation,
                ended = false](std::vector<ItemEntry> &entries, QString &errorString) mutable {
            do {
                entries.clear();
                if (ended)
                    return true;
                if (!reader->readNext(entries, errorString))
                    return false;
                if (entries.empty())
                    return true;
                if (from) {
                    const ItemEntry splitter = entryOf(*from);
                    const auto first =
                        std::find_if(entries.begin(), entries.end(), [&](const ItemEntry &entry) {
                            return !before(collation, entry, splitter);
                        });
                    if (first != entries.begin())
                        entries.erase(entries.begin(), first);
                    if (!entries.empty())
                        from = nullptr;
                }
                if (to) {
                    // Only records from the next range's start on may belong to it.
                    const ItemEntry splitter = entryOf(*to);
                    const auto past =
                        std::find_if(entries.begin(), entries.end(), [&](const ItemEntry &entry) {
                            return reader->offsetOf(entry) >= end &&
                                   !before(collation, entry, splitter);
                        });
                    ended = past != entries.end();
                    entries.erase(past, entries.end());
                }
            } while (entries.empty());
            return true;
        };
    }

    RunMerger::Source memorySource(size_t index)
    {
        const std::vector<ItemEntry> &all = *m_input.inMemory;
        const bool last = index + 1 == m_plan.memoryStarts.size();
        const auto end = size_t(last ? qsizetype(all.size()) : m_plan.memoryStarts[index + 1]);
        return [&all, next = size_t(m_plan.memoryStarts[index]),
                end](std::vector<ItemEntry> &entries, QString &) mutable {
            const size_t stop = std::min(end, next + size_t(memorySampleSpacing));
            entries.assign(all.begin() + ptrdiff_t(next), all.begin() + ptrdiff_t(stop));
            next = stop;
            return true;
        };
    }

    // Merges range index with merger, reading each run into its buffer of readBuffers.
    bool mergeRange(size_t index, const Collation &collation, RunMerger &merger,
                    std::vector<std::string> &readBuffers, const std::stop_token &stop,
                    QString &errorString)
    {
        merger.clear();
        for (size_t file = 0; file < m_input.files.size(); ++file)
            merger.add(fileSource(index, file, collation, readBuffers[file]));
        if (m_input.inMemory)
            merger.add(memorySource(index));
        while (!stop.stop_requested()) {
            auto chunk = spareChunk();
            if (!merger.next(chunk->entries, chunk->bytes, m_memory.chunkItems, errorString))
                return false;
            if (chunk->entries.empty())
                return true;
            if (!hand(index, std::move(chunk), stop))
                return true;
        }
        return true;
    }

    const MergeInput m_input;
    const Collation m_collation;
    const bool m_reversed;
    const MergeMemory m_memory;
    const MergePlan m_plan;

    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::deque<Range> m_ranges;
    size_t m_taken = 0;                          // ranges a worker has taken
    size_t m_current = 0;                        // the range being handed on
    std::deque<std::unique_ptr<Chunk>> m_handed; // the last two chunks handed on
    // Chunks handed on and done with, kept for their memory: new ones would each take pages
    // from the system again.
    std::vector<std::unique_ptr<Chunk>> m_spare;
    std::vector<std::jthread> m_workers; // last, so that they stop before the rest goes
};
} // namespace

int mergeThreadCount()
{
    return threadCountFor(std::numeric_limits<qsizetype>::max(), 1);
}

ItemStream mergeInRanges(const MergeInput &input, const Collation &collation, bool reversed,
                         MergeMemory memory)
{
    auto merge = std::make_shared<RangedMerge>(input, collation, reversed, memory);
    return ItemStream([merge](std::vector<ItemEntry> &chunk, QString &errorString) {
        return merge->next(chunk, errorString);
    });
}
