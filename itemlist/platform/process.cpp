#include "platform.h"

#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#endif

namespace platform
{
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
} // namespace platform
