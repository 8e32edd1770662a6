#include "arena.h"

#include <cstdint>

void *Arena::allocate(qsizetype size, qsizetype alignment)
{
    const qsizetype padding =
        -qsizetype(reinterpret_cast<std::uintptr_t>(m_free)) & (alignment - 1);
    if (size + padding > m_left) {
        if (size > blockSize / 4) {
            // A large object gets a block of its own, so the current block keeps its room.
            return m_blocks.emplace_back(new std::byte[size]).get();
        }
        m_free = m_blocks.emplace_back(new std::byte[blockSize]).get();
        m_left = blockSize;
    } else {
        m_free += padding;
        m_left -= padding;
    }
    void *result = m_free;
    m_free += size;
    m_left -= size;
    return result;
}

void Arena::adopt(Arena &&other)
{
    m_blocks.reserve(m_blocks.size() + other.m_blocks.size());
    for (auto &block : other.m_blocks)
        m_blocks.push_back(std::move(block));
    other.m_blocks.clear();
    other.m_free = nullptr;
    other.m_left = 0;
}
