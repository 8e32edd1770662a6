#include "storage/itemrun.h"

#include "platform.h"

void releaseGradually(std::shared_ptr<const ItemRun> run)
{
    if (run.use_count() == 1) {
        // The last holder: nobody reads the entries any more.
        auto *entries = reinterpret_cast<std::byte *>(const_cast<ItemEntry *>(run->entries.data()));
        const size_t size = run->entries.size() * sizeof(ItemEntry);
        constexpr size_t step = 4 << 20;
        for (size_t from = 0; from < size; from += step)
            platform::releasePages(entries + from, std::min(step, size - from));
    }
    run.reset();
}
