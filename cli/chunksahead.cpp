#include "chunksahead.h"

#include <future>
#include <memory>

namespace
{
struct Chunk {
    bool read = false;
    std::vector<ItemEntry> entries;
    QString errorString;
};

class ChunksAhead
{
public:
    explicit ChunksAhead(ItemStream source) : m_source(std::move(source)) {}

    bool next(std::vector<ItemEntry> &entries, QString &errorString)
    {
        if (!m_next.valid())
            m_next = fetch();
        Chunk chunk = m_next.get();
        if (chunk.read && !chunk.entries.empty())
            m_next = fetch();
        entries = std::move(chunk.entries);
        errorString = std::move(chunk.errorString);
        return chunk.read;
    }

private:
    std::future<Chunk> fetch()
    {
        return std::async(std::launch::async, [this] {
            Chunk chunk;
            chunk.read = m_source.next(chunk.entries, chunk.errorString);
            return chunk;
        });
    }

    ItemStream m_source;
    std::future<Chunk> m_next; // waited for when the last copy of the chunks goes
};
} // namespace

ItemStream chunksAhead(ItemStream source)
{
    auto ahead = std::make_shared<ChunksAhead>(std::move(source));
    return ItemStream([ahead](std::vector<ItemEntry> &entries, QString &errorString) {
        return ahead->next(entries, errorString);
    });
}
