#include "platform.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
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

bool standardErrorIsTerminal()
{
#if defined(Q_OS_UNIX)
    return isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

void lowerThreadPriority() noexcept
{
#if defined(Q_OS_LINUX)
    // On Linux a thread's nice value is its own, and the threads it starts inherit it.
    setpriority(PRIO_PROCESS, id_t(gettid()), 19);
#endif
}

#if defined(Q_OS_LINUX)
namespace
{
// The number after label in a /proc file of "label: number kB" lines, in bytes.
qint64 kibibytesAfter(const QByteArray &text, QByteArrayView label)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(label)) {
            bool ok = false;
            const qint64 value =
                line.mid(label.size()).trimmed().split(' ').constFirst().toLongLong(&ok);
            return ok ? value * 1024 : -1;
        }
    }
    return -1;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A number in a control group file; "max" and anything unreadable are -1.
qint64 numberIn(const QString &path)
{
    bool ok = false;
    const qint64 value = contentsOf(path).trimmed().toLongLong(&ok);
    return ok ? value : -1;
}

qint64 limitOf(int resource)
{
    rlimit limit = {};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return qint64(std::min<rlim_t>(limit.rlim_cur, rlim_t(std::numeric_limits<qint64>::max())));
}

// The memory limit and use of the control group the process is in: version 2, or the
// memory controller of version 1.
void readControlGroup(MemoryFacts &facts)
{
    for (const QByteArray &line : contentsOf(QStringLiteral("/proc/self/cgroup")).split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 3)
            continue;
        const QString path = QString::fromLocal8Bit(fields[2]);
        if (fields[0] == "0" && fields[1].isEmpty()) {
            const QString folder = QStringLiteral("/sys/fs/cgroup") + path;
            facts.groupLimit = numberIn(folder + QStringLiteral("/memory.max"));
            facts.groupUsed = numberIn(folder + QStringLiteral("/memory.current"));
        } else if (fields[1].split(',').contains("memory")) {
            const QString folder = QStringLiteral("/sys/fs/cgroup/memory") + path;
            facts.groupLimit = numberIn(folder + QStringLiteral("/memory.limit_in_bytes"));
            facts.groupUsed = numberIn(folder + QStringLiteral("/memory.usage_in_bytes"));
            return;
        }
    }
}
} // namespace
#endif

MemoryFacts memoryFacts()
{
    MemoryFacts facts;
#if defined(Q_OS_LINUX)
    const QByteArray memory = contentsOf(QStringLiteral("/proc/meminfo"));
    facts.physical = kibibytesAfter(memory, "MemTotal:");
    facts.physicalAvailable = kibibytesAfter(memory, "MemAvailable:");
    const QByteArray status = contentsOf(QStringLiteral("/proc/self/status"));
    facts.addressSpaceLimit = limitOf(RLIMIT_AS);
    facts.addressSpaceUsed = kibibytesAfter(status, "VmSize:");
    facts.dataLimit = limitOf(RLIMIT_DATA);
    facts.dataUsed = kibibytesAfter(status, "VmData:");
    readControlGroup(facts);
#endif
    return facts;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

#if defined(Q_OS_UNIX)
bool fileStatus(const QString &path, FileStatus &status, QString &reason)
{
    struct stat found = {};
    if (::stat(QFile::encodeName(path).constData(), &found) != 0) {
        status = {};
        if (errno == ENOENT)
            return true;
        reason = systemReason(errno);
        return false;
    }
    using Kind = FileStatus::Kind;
    status.kind = S_ISDIR(found.st_mode)   ? Kind::Folder
                  : S_ISREG(found.st_mode) ? Kind::Regular
                                           : Kind::Other;
    status.device = found.st_dev;
    status.inode = found.st_ino;
    status.owner = found.st_uid;
    status.group = found.st_gid;
    status.mode = found.st_mode & 07777;
    return true;
}

bool isWritable(const QString &path, QString &reason)
{
    if (::access(QFile::encodeName(path).constData(), W_OK) == 0)
        return true;
    reason = systemReason(errno);
    return false;
}

QString folderReason()
{
    return systemReason(EISDIR);
}

bool isSameFile(int handle, const FileStatus &status)
{
    struct stat found = {};
    return ::fstat(handle, &found) == 0 && std::uint64_t(found.st_dev) == status.device &&
           std::uint64_t(found.st_ino) == status.inode;
}

void copyOwnerAndMode(int handle, const FileStatus &status)
{
    // Changing the owner clears the set-user-ID and set-group-ID bits, so the mode comes
    // after. Either may be refused to a process that is not privileged; the group alone may
    // still be allowed.
    if (::fchown(handle, uid_t(status.owner), gid_t(status.group)) != 0)
        (void)::fchown(handle, uid_t(-1), gid_t(status.group));
    (void)::fchmod(handle, mode_t(status.mode));
}

int openUnnamedFile(const QString &folder, QString &reason)
{
    const QByteArray path = QFile::encodeName(folder);
#if defined(O_TMPFILE)
    const int handle = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (handle >= 0)
        return handle;
    // Some file systems cannot make unnamed files: a named one, removed at once, instead.
    if (errno != EOPNOTSUPP && errno != EISDIR) {
        reason = systemReason(errno);
        return -1;
    }
#endif
    QByteArray name = path + "/listsort-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named < 0) {
        reason = systemReason(errno);
        return -1;
    }
    ::unlink(name.constData());
    return named;
}

int reopenForReading(int handle)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(handle);
    return ::open(path.constData(), O_RDONLY | O_CLOEXEC);
}

bool writeAll(int handle, QByteArrayView bytes, QString &reason)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(handle, bytes.data() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            reason = systemReason(written < 0 ? errno : ENOSPC);
            return false;
        }
        done += written;
    }
    return true;
}
#else
// Without POSIX: what QFileInfo can tell; owner, group and set-id bits are left alone.
bool fileStatus(const QString &path, FileStatus &status, QString &)
{
    const QFileInfo info(path);
    using Kind = FileStatus::Kind;
    status = {};
    status.kind = !info.exists() ? Kind::Missing
                  : info.isDir() ? Kind::Folder
                  : info.isFile() ? Kind::Regular
                                  : Kind::Other;
    return true;
}

bool isWritable(const QString &path, QString &reason)
{
    if (QFileInfo(path).isWritable())
        return true;
    reason = systemReason(EACCES);
    return false;
}

QString folderReason()
{
    return systemReason(EISDIR);
}

bool isSameFile(int, const FileStatus &)
{
    return false;
}

void copyOwnerAndMode(int, const FileStatus &) {}

int openUnnamedFile(const QString &, QString &reason)
{
    reason = systemReason(ENOSYS);
    return -1;
}

int reopenForReading(int)
{
    return -1;
}

bool writeAll(int handle, QByteArrayView bytes, QString &reason)
{
    QFile file;
    if (!file.open(handle, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes.data(), bytes.size()) != bytes.size()) {
        reason = file.errorString();
        return false;
    }
    return true;
}
#endif
} // namespace platform
