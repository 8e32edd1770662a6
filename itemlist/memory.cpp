#include "memory.h"

#include "platform.h"

#include <algorithm>
#include <limits>

qint64 availableMemory()
{
    const platform::MemoryFacts facts = platform::memoryFacts();
    qint64 available = std::numeric_limits<qint64>::max();
    const auto within = [&](qint64 limit, qint64 used) {
        if (limit >= 0)
            available = std::min(available, std::max<qint64>(0, limit - std::max<qint64>(used, 0)));
    };
    within(facts.physicalAvailable, 0);
    // Threads map their stacks and the allocator a heap for each, in address space that no
    // allocation counts: a limit of it leaves room for them.
    constexpr qint64 threadReserve = 256 << 20;
    within(facts.addressSpaceLimit, facts.addressSpaceUsed + threadReserve);
    within(facts.dataLimit, facts.dataUsed);
    within(facts.groupLimit, facts.groupUsed);
    return available;
}

qint64 physicalMemory()
{
    return platform::memoryFacts().physical;
}
