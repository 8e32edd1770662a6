#include "platform.h"

#include <QFile>

#include <cstdlib>
#include <limits>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(Q_OS_UNIX)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#endif

#if defined(Q_OS_UNIX)
namespace
{
std::size_t pageRounded(std::size_t size)
{
    const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}
} // namespace
#endif

namespace platform
{
void *allocateAligned(std::size_t size, std::size_t alignment)
{
#if defined(Q_OS_UNIX)
    if (alignment <= alignof(std::max_align_t)) {
        void *memory = std::malloc(size);
        if (!memory)
            throw std::bad_alloc();
        return memory;
    }
    // aligned_alloc() would map size plus alignment and keep all of it mapped, which for
    // blocks aligned to a huge page doubles the address space they take: a process under an
    // address space limit would run out at half its memory. The mapping is trimmed instead.
    const std::size_t length = size + alignment;
    void *mapped =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + alignment - 1) & ~std::uintptr_t(alignment - 1);
    const std::uintptr_t end = aligned + pageRounded(size);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (start + length > end)
        munmap(reinterpret_cast<void *>(end), start + length - end);
    return reinterpret_cast<void *>(aligned);
#else
    return ::operator new(size, std::align_val_t(alignment));
#endif
}

void freeAligned(void *memory, std::size_t size, std::size_t alignment) noexcept
{
#if defined(Q_OS_UNIX)
    if (alignment <= alignof(std::max_align_t))
        std::free(memory);
    else
        munmap(memory, pageRounded(size));
#else
    (void)size;
    ::operator delete(memory, std::align_val_t(alignment));
#endif
}

void returnFreedMemory() noexcept
{
#if defined(__GLIBC__)
    // Large blocks get mappings of their own, which go when freed; a fixed threshold also
    // keeps glibc from raising it after each such free.
    mallopt(M_MMAP_THRESHOLD, 256 << 10);
    mallopt(M_TRIM_THRESHOLD, 1 << 20);
#endif
}

void adviseHugePages(void *memory, std::size_t size) noexcept
{
#if defined(MADV_HUGEPAGE)
    madvise(memory, size, MADV_HUGEPAGE);
#else
    (void)memory;
    (void)size;
#endif
}

void releasePages(void *memory, std::size_t size) noexcept
{
#if defined(MADV_DONTNEED)
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t end = (begin + size) / page * page;
    if (first < end)
        madvise(reinterpret_cast<void *>(first), end - first, MADV_DONTNEED);
#else
    (void)memory;
    (void)size;
#endif
}

namespace
{
// The lines of text.
QList<QByteArray> linesOf(QByteArrayView text)
{
    return text.toByteArray().split('\n');
}
} // namespace

qint64 kibibytesIn(QByteArrayView text, QByteArrayView label)
{
    for (const QByteArray &line : linesOf(text)) {
        if (!line.startsWith(label))
            continue;
        const QByteArrayView value = QByteArrayView(line).sliced(label.size()).trimmed();
        const qsizetype space = value.indexOf(' ');
        bool ok = false;
        const qint64 kibibytes = (space < 0 ? value : value.first(space)).toLongLong(&ok);
        return ok ? kibibytes * 1024 : -1;
    }
    return -1;
}

qint64 groupNumberIn(QByteArrayView text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok ? value : -1;
}

GroupMemoryFiles groupMemoryFiles(QByteArrayView cgroupText)
{
    GroupMemoryFiles files;
    for (const QByteArray &line : linesOf(cgroupText)) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 3)
            continue;
        const QString path = QString::fromLocal8Bit(fields[2]);
        if (fields[0] == "0" && fields[1].isEmpty()) {
            const QString folder = QStringLiteral("/sys/fs/cgroup") + path;
            files = {folder + QStringLiteral("/memory.max"),
                     folder + QStringLiteral("/memory.current")};
        } else if (fields[1].split(',').contains("memory")) {
            // Version 1's memory controller, where a machine has both, is the one in force.
            const QString folder = QStringLiteral("/sys/fs/cgroup/memory") + path;
            return {folder + QStringLiteral("/memory.limit_in_bytes"),
                    folder + QStringLiteral("/memory.usage_in_bytes")};
        }
    }
    return files;
}

#if defined(Q_OS_LINUX)
namespace
{
QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 limitOf(int resource)
{
    rlimit limit = {};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return qint64(std::min<rlim_t>(limit.rlim_cur, rlim_t(std::numeric_limits<qint64>::max())));
}
} // namespace
#endif

MemoryFacts memoryFacts()
{
    MemoryFacts facts;
#if defined(Q_OS_LINUX)
    const QByteArray memory = contentsOf(QStringLiteral("/proc/meminfo"));
    facts.physical = kibibytesIn(memory, "MemTotal:");
    facts.physicalAvailable = kibibytesIn(memory, "MemAvailable:");
    const QByteArray status = contentsOf(QStringLiteral("/proc/self/status"));
    facts.addressSpaceLimit = limitOf(RLIMIT_AS);
    facts.addressSpaceUsed = kibibytesIn(status, "VmSize:");
    facts.dataLimit = limitOf(RLIMIT_DATA);
    facts.dataUsed = kibibytesIn(status, "VmData:");
    const GroupMemoryFiles group =
        groupMemoryFiles(contentsOf(QStringLiteral("/proc/self/cgroup")));
    if (!group.limit.isEmpty()) {
        facts.groupLimit = groupNumberIn(contentsOf(group.limit));
        facts.groupUsed = groupNumberIn(contentsOf(group.usage));
    }
#endif
    return facts;
}
} // namespace platform
