#include "platform.h"
#include "platform/errors.h"

#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#else
#include <cstdio>
#include <io.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#endif

namespace platform
{
using detail::fail;
using detail::failed;

void lowerThreadPriority() noexcept
{
#if defined(Q_OS_LINUX)
    // On Linux a thread's nice value is its own, and the threads it starts inherit it.
    setpriority(PRIO_PROCESS, id_t(gettid()), 19);
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

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString lastSystemReason()
{
    return systemReason(errno);
}

#if defined(Q_OS_UNIX)
void holdClosedStandardHandles()
{
    for (const int handle : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(handle, F_GETFD) < 0 && errno == EBADF) {
            const int opened = ::open("/dev/null", handle == STDIN_FILENO ? O_WRONLY : O_RDONLY);
            if (opened >= 0 && opened != handle) {
                ::dup2(opened, handle);
                ::close(opened);
            }
        }
    }
}

int standardOutput()
{
    return STDOUT_FILENO;
}

namespace
{
// Whether handle may be used in direction: false with the reason of a closed handle when it
// was opened only for the other direction, or by the process itself. Every handle the process
// opens closes on exec, unlike those it was given, so that one of its own named by mistake
// (a temporary file's, as /dev/fd/N) is refused.
bool isGivenFor(int handle, int refusedMode, QString &reason)
{
    const int flags = ::fcntl(handle, F_GETFL);
    const int handleFlags = ::fcntl(handle, F_GETFD);
    if (flags < 0 || handleFlags < 0)
        return fail(reason);
    if ((flags & O_ACCMODE) == refusedMode || (handleFlags & FD_CLOEXEC)) {
        reason = systemReason(EBADF);
        return false;
    }
    return true;
}
} // namespace

FileHandle standardInput(QString &reason)
{
    return isGivenFor(STDIN_FILENO, O_WRONLY, reason) ? FileHandle::borrowed(STDIN_FILENO)
                                                      : FileHandle();
}

FileHandle duplicateForWriting(int handle, QString &reason)
{
    if (!isGivenFor(handle, O_RDONLY, reason))
        return {};
    FileHandle duplicate(::fcntl(handle, F_DUPFD_CLOEXEC, 0));
    return duplicate.isOpen() ? std::move(duplicate) : failed(reason);
}
#else
void holdClosedStandardHandles() {}

int standardOutput()
{
    return ::_fileno(stdout);
}

FileHandle standardInput(QString &)
{
    return FileHandle::borrowed(::_fileno(stdin));
}

FileHandle duplicateForWriting(int handle, QString &reason)
{
    FileHandle duplicate(::_dup(handle));
    if (!duplicate.isOpen())
        reason = lastSystemReason();
    return duplicate;
}
#endif
} // namespace platform
