#include "storage/arena.h"

#include "platform.h"

#include <algorithm>
#include <cstdint>

void Arena::Free::operator()(std::byte *block) const
{
    platform::freeAligned(block, size, alignment);
}

Arena::Block Arena::newBlock(qsizetype size)
{
    const auto alignment = size_t(size < hugePageSize ? alignof(std::max_align_t) : hugePageSize);
    void *memory = platform::allocateAligned(size_t(size), alignment);
    // Only a hint: without it, ordinary pages. A block of one huge item is read from start
    // to end, and would only make the system gather huge pages for nothing.
    if (size == hugePageSize)
        platform::adviseHugePages(memory, size_t(size));
    return Block(static_cast<std::byte *>(memory), Free{size_t(size), alignment});
}

void *Arena::allocate(qsizetype size, qsizetype alignment)
{
    const qsizetype padding =
        -qsizetype(reinterpret_cast<std::uintptr_t>(m_free)) & (alignment - 1);
    if (size + padding > m_left) {
        if (size > m_blockSize / 4) {
            // A large object gets a block of its own, so the current block keeps its room.
            m_allocated += size;
            return m_blocks.emplace_back(newBlock(size)).get();
        }
        m_free = m_blocks.emplace_back(newBlock(m_blockSize)).get();
        m_left = m_blockSize;
        m_allocated += m_blockSize;
        m_blockSize = std::min(m_blockSize * 2, hugePageSize);
    } else {
        m_free += padding;
        m_left -= padding;
    }
    void *result = m_free;
    m_free += size;
    m_left -= size;
    return result;
}
