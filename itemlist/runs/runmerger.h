#pragma once

#include "order/collation.h"
#include "order/weigheditem.h"
#include "storage/item.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

// Merges sorted runs of keyed items into one, a chunk at a time: runs in list order into
// one in list order, or, reversed, runs in reverse order into one in reverse.
class RunMerger
{
public:
    // Replaces entries with the next entries of a run, after which the items of the call
    // before may be gone; leaves entries empty at the run's end. Returns false on failure,
    // with errorString saying why.
    using Source = std::function<bool(std::vector<ItemEntry> &entries, QString &errorString)>;

    RunMerger(const Collation &collation, bool reversed);

    void add(Source source);
    // Drops the sources, for a merge of others; their memory is kept for those.
    void clear();
    // Replaces chunk with up to maxItems next entries of the merge, whose items it lays out
    // in bytes; chunk stays empty at the end.
    [[nodiscard]] bool next(std::vector<ItemEntry> &chunk, std::string &bytes, qsizetype maxItems,
                            QString &errorString);

private:
    // A run being merged, and its next entry.
    struct MergeSource {
        Source source;
        std::vector<ItemEntry> entries;
        size_t at = 0;
        // The next entry's first weights, worked out at its first tie and kept, since the
        // merge compares it again at each step until it comes out.
        WeighedItem head;
    };

    bool start(QString &errorString);
    // Whether source a's next entry comes out after source b's. Inline, though defined in
    // the source file, for the heap's many comparisons that their key prefixes settle; the
    // others are afterTied()'s.
    [[nodiscard]] inline bool after(int a, int b);
    [[nodiscard]] bool afterTied(int a, int b);
    [[nodiscard]] const WeighedItem &weighedHead(MergeSource &source) const;
    // Moves the source on top of the heap down to its place: one pass, where popping and
    // pushing it would take two.
    void siftDown();

    Collation m_collation;
    bool m_reversed;
    bool m_started = false;
    std::vector<MergeSource> m_sources;
    std::vector<int> m_heap;       // sources with entries left, the next one to come out first
    std::vector<size_t> m_offsets; // of the items of a chunk in its bytes, kept between chunks
    std::vector<std::vector<ItemEntry>> m_spareEntries; // of sources dropped
};
