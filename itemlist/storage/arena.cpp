#include "storage/arena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

void Arena::Free::operator()(std::byte *block) const
{
    std::free(block);
}

Arena::Block Arena::newBlock(qsizetype size)
{
    if (size < hugePageSize) {
        void *memory = std::malloc(size_t(size));
        if (!memory)
            throw std::bad_alloc();
        return Block(static_cast<std::byte *>(memory));
    }
    const auto bytes = size_t((size + hugePageSize - 1) / hugePageSize * hugePageSize);
    void *memory = std::aligned_alloc(size_t(hugePageSize), bytes);
    if (!memory)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // Only a hint: without it, ordinary pages. A block of one huge item is read from start
    // to end, and would only make the system gather huge pages for nothing.
    if (size == hugePageSize)
        madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    return Block(static_cast<std::byte *>(memory));
}

void *Arena::allocate(qsizetype size, qsizetype alignment)
{
    const qsizetype padding =
        -qsizetype(reinterpret_cast<std::uintptr_t>(m_free)) & (alignment - 1);
    if (size + padding > m_left) {
        if (size > m_blockSize / 4) {
            // A large object gets a block of its own, so the current block keeps its room.
            return m_blocks.emplace_back(newBlock(size)).get();
        }
        m_free = m_blocks.emplace_back(newBlock(m_blockSize)).get();
        m_left = m_blockSize;
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
