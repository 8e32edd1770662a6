#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

// Append-only memory for the many small objects of a list. Blocks never move, so pointers
// into an arena stay valid for its lifetime.
class Arena
{
public:
    Arena() = default;
    Arena(Arena &&) = default;
    Arena &operator=(Arena &&) = default;

    // alignment must be a power of two no greater than alignof(std::max_align_t).
    [[nodiscard]] void *allocate(qsizetype size, qsizetype alignment);
    // allocate(size, 1), inline while the current block has room.
    [[nodiscard]] void *allocateBytes(qsizetype size)
    {
        if (size > m_left)
            return allocate(size, 1);
        void *result = m_free;
        m_free += size;
        m_left -= size;
        return result;
    }
    // The bytes of all the blocks taken from the system so far.
    [[nodiscard]] qsizetype allocatedBytes() const { return m_allocated; }

private:
    // Blocks grow to the size of a huge page of the processor's memory map, and large ones
    // are aligned to it, so that items reached in sorted order, all over a large list, do
    // not also miss the map; small arenas stay small.
    static constexpr qsizetype firstBlockSize = 64 << 10;
    static constexpr qsizetype hugePageSize = 2 << 20;

    struct Free {
        std::size_t size;
        std::size_t alignment;
        void operator()(std::byte *block) const;
    };
    using Block = std::unique_ptr<std::byte[], Free>;
    static Block newBlock(qsizetype size);

    std::vector<Block> m_blocks;
    std::byte *m_free = nullptr;
    qsizetype m_left = 0;
    qsizetype m_blockSize = firstBlockSize;
    qsizetype m_allocated = 0;
};
