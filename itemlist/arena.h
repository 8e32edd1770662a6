#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

// Append-only memory for the many small objects of a list. Blocks never move, so pointers
// into an arena stay valid for its lifetime; one arena can take over another's blocks.
class Arena
{
public:
    Arena() = default;
    Arena(Arena &&) = default;
    Arena &operator=(Arena &&) = default;

    // alignment must be a power of two no greater than alignof(std::max_align_t).
    [[nodiscard]] void *allocate(qsizetype size, qsizetype alignment);
    void adopt(Arena &&other);

private:
    static constexpr qsizetype blockSize = 1 << 20;

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte *m_free = nullptr;
    qsizetype m_left = 0;
};
