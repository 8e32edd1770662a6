#include "memory.h"

#include "platform.h"

#include <algorithm>
#include <limits>
#include <new>
#include <system_error>

QString reasonFor(const std::exception &failure)
{
    const auto *system = dynamic_cast<const std::system_error *>(&failure);
    if (dynamic_cast<const std::bad_alloc *>(&failure) ||
        (system && system->code() == std::errc::resource_unavailable_try_again))
        return notEnoughMemory();
    return QString::fromLocal8Bit(failure.what());
}

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
