#pragma once

#include <QtGlobal>

#include <stop_token>

class ItemBatch;
class ListFileReader;

// How many bytes each batch of a load that shows its items as it reads takes. The first
// batch is small, so that the first items show at once; each after it is twice as large as
// all read before, so that merging them costs about one and a half passes over the list in
// all, where a merge of items that tie deep weighs them again. A small rest would cost a
// merge through the whole list: it joins the last batch.
class BatchPlan
{
public:
    explicit BatchPlan(qint64 fileSize) : m_fileSize(fileSize) {}

    [[nodiscard]] qsizetype bytes() const { return m_bytes; }
    // About how many items the next batch holds, going by the itemsRead so far; 0 before
    // the first batch.
    [[nodiscard]] qsizetype expectedItems(qsizetype itemsRead) const;
    // A generous guess of the memory that reading, sorting and merging the next batch takes
    // beyond what the list holds already: its text, which decoding may double, three entries
    // an item while it is sorted and merged, and the merged copy of the base's entries.
    [[nodiscard]] qint64 memoryNeeded(qsizetype itemsRead, qsizetype baseCount) const;
    void batchRead();
    // The file is read again from its start.
    void restart() { *this = BatchPlan(m_fileSize); }

private:
    static constexpr qsizetype firstBatchBytes = 64 * 1024;
    qint64 m_fileSize;
    qsizetype m_read = 0;
    qsizetype m_bytes = firstBatchBytes;
};

// Reads about bytes more of the file into batch, in rounds, so that a stop request is seen
// soon even in a large batch. Returns false on a failure, as the reader's read() does.
[[nodiscard]] bool readBatch(ListFileReader &reader, ItemBatch &batch, qsizetype bytes,
                             const std::stop_token &stop);
