#pragma once

#include "storage/arena.h"
#include "storage/item.h"

#include <algorithm>
#include <memory>
#include <vector>

// The memory that items' text lives in, shared by everything that holds the items: a list,
// the batches it was made from, and the runs merged from it on another thread.
using SharedArenas = std::vector<std::shared_ptr<const Arena>>;

// Adds to arenas those of more that it does not hold yet.
inline void share(SharedArenas &arenas, const SharedArenas &more)
{
    for (const auto &arena : more) {
        if (std::find(arenas.begin(), arenas.end(), arena) == arenas.end())
            arenas.push_back(arena);
    }
}

// Keyed items in list order, never changed once made, so that threads can share them: a
// loader merges its next batch into a new run while the window still shows this one.
struct ItemRun {
    std::vector<ItemEntry> entries;
    SharedArenas arenas;
    qsizetype loneSurrogateCount = 0; // items that only UTF-16 can write
};

// Lets go of run; when it held the last reference, the entries' pages go back a few
// megabytes at a time before the run is freed. Freeing a large block in one go keeps the
// process's memory map locked for milliseconds, and every other thread that needs a fresh
// page meanwhile, such as a window's, waits for it.
void releaseGradually(std::shared_ptr<const ItemRun> run);
