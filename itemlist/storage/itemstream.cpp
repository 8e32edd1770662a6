#include "storage/itemstream.h"

#include <memory>
#include <string>

bool ItemStream::next(std::vector<ItemEntry> &chunk, QString &errorString)
{
    if (!m_source) {
        chunk.clear();
        return true;
    }
    return m_source(chunk, errorString);
}

ItemStream inForm(ItemStream stream, ListForm form)
{
    if (!form.unique)
        return stream;
    // The last item of a chunk is kept, to be compared with the first of the next.
    struct State {
        ItemStream stream;
        std::string last;
    };
    auto state = std::make_shared<State>(State{std::move(stream), {}});
    return ItemStream([state](std::vector<ItemEntry> &chunk, QString &errorString) {
        // A chunk of nothing but repeats gives way to the next.
        do {
            if (!state->stream.next(chunk, errorString))
                return false;
            if (chunk.empty())
                return true;
            const Item *before =
                state->last.empty() ? nullptr : Item::laidOutAt(state->last.data());
            size_t kept = 0;
            for (const ItemEntry &entry : chunk) {
                if (before && isRepeat(*before, *entry.item))
                    continue;
                chunk[kept++] = entry;
                before = entry.item;
            }
            chunk.resize(kept);
        } while (chunk.empty());
        state->last.clear();
        chunk.back().item->appendTo(state->last);
        return true;
    });
}
