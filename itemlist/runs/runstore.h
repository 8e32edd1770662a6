#pragma once

#include "order/collation.h"
#include "runs/rangedmerge.h"
#include "runs/runfile.h"
#include "storage/itembatch.h"
#include "storage/itemrun.h"
#include "storage/itemstream.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The sorted runs of a list larger than its memory budget, kept in temporary files in a
// folder, in list order or reversed, and their merge in that order, for the writer.
class RunStore
{
public:
    // Runs merged at once: more would each get too little of the memory for reading.
    static constexpr size_t mergeWidth = 32;

    // Merges runs within memory (see listsort's budgetPlan()); reversed as the form of the
    // stream written (ListForm::reversed).
    RunStore(QString folder, bool reversed, MergeMemory memory);

    [[nodiscard]] bool isEmpty() const { return m_runs.empty(); }
    [[nodiscard]] const QString &folder() const { return m_folder; }
    // Sorts the items of batch, which it takes, and writes them as a run of the items of
    // input, which may still be read again from the start; see dropInput(). The batch is
    // left empty, and keeps the memory of its entries for the next items, unless runs were
    // merged meanwhile.
    [[nodiscard]] bool add(ItemBatch &batch, const Collation &collation, int input);
    // The memory kept for sorting the next run, besides its batch's.
    [[nodiscard]] qint64 sortRoomBytes() const
    {
        return qint64(m_sortRoom.capacity() * sizeof(ItemEntry));
    }
    // Drops the runs of input, which is being read again.
    void dropInput(int input);

    // Prepares merges of the runs and of last, sorted in memory and kept for each merge;
    // merges runs first while they are too many to read from at once.
    [[nodiscard]] bool prepare(ItemBatch &&last, const Collation &collation);
    // Starts a merge, on all cores, of everything prepare() took.
    [[nodiscard]] ItemStream merge();
    [[nodiscard]] qsizetype loneSurrogateCount() const { return m_loneSurrogateCount; }
    // The bytes of all the items, as stored.
    [[nodiscard]] qint64 itemBytes() const { return m_itemBytes; }

    // What failed: "write temporary file in" or "read temporary file in" the folder, and
    // the system's reason.
    [[nodiscard]] const char *failedTo() const { return m_failedTo; }
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    struct StoredRun {
        std::unique_ptr<RunFile> file;
        int input;
        int level; // how many merges its items have been through
        qsizetype loneSurrogates;
        qint64 itemBytes;
    };

    // Adds the bytes of the items written to itemBytes.
    bool writeRun(RunFile &file, const ItemRun &run, qint64 &itemBytes);
    bool failWriting(const RunFile &file);
    // The stream of a merge that failed reading a run file.
    [[nodiscard]] ItemStream readingFails(ItemStream merge);
    // Merges the first runs that are inGroup, as many as are read at once, into one run of
    // input and level at the end.
    bool mergeGroup(const std::function<bool(const StoredRun &)> &inGroup, int input, int level);
    // Frees the memory that sorting the next run would reuse.
    void freeSortMemory();

    QString m_folder;
    bool m_reversed;
    std::optional<Collation> m_collation;
    std::vector<StoredRun> m_runs;
    ItemRun m_last;
    // Kept from one run to the next while runs are made: the sort's room for a copy of the
    // entries, and the entries of the run written last, for the next batch's.
    std::vector<ItemEntry> m_sortRoom;
    std::vector<ItemEntry> m_spareEntries;
    qsizetype m_loneSurrogateCount = 0;
    MergeMemory m_memory;
    size_t m_maxOpen;
    size_t m_fanIn; // runs merged at once
    qint64 m_itemBytes = 0;
    const char *m_failedTo = "";
    QString m_errorString;
};
