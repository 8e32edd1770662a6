#include "platform.h"
#include "platform/errors.h"

#include <QDir>

#include <cstdlib>
#include <limits>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace platform
{
using detail::failed;
using detail::unsupported;

#if defined(Q_OS_UNIX)
qint64 openFileRoom()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<int>::max();
    // Handles numbered at or above the limit, which the process may have been given, take
    // none of the numbers that new ones get.
    qint64 open = 0;
    if (DIR *handles = ::opendir("/proc/self/fd")) {
        while (const dirent *entry = ::readdir(handles))
            open += entry->d_name[0] != '.' &&
                    std::strtoull(entry->d_name, nullptr, 10) < limit.rlim_cur;
        ::closedir(handles);
        --open; // the folder's own handle
    }
    return qint64(limit.rlim_cur) - open;
}

QString temporaryFolder()
{
    const QByteArray set = qgetenv("TMPDIR");
    return set.isEmpty() ? QStringLiteral("/tmp") : fileNameFromNative(set);
}

FileHandle openUnnamedFile(const QString &folder, QString &reason)
{
    const QByteArray path = nativeFileName(folder);
#if defined(O_TMPFILE)
    FileHandle file(::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (file.isOpen())
        return file;
    // Some file systems cannot make unnamed files: a named one, removed at once, instead.
    if (errno != EOPNOTSUPP && errno != EISDIR)
        return failed(reason);
#endif
    QByteArray name = path + "/listsort-XXXXXX";
    FileHandle named(::mkostemp(name.data(), O_CLOEXEC));
    if (!named.isOpen())
        return failed(reason);
    ::unlink(name.constData());
    return named;
}

FileHandle reopenForReading(const FileHandle &file, QString &reason)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(file.get());
    FileHandle reopened(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    return reopened.isOpen() ? std::move(reopened) : failed(reason);
}
#else
qint64 openFileRoom()
{
    return 500; // what the C runtime allows at the least, less a few
}

QString temporaryFolder()
{
    return QDir::tempPath();
}

FileHandle openUnnamedFile(const QString &, QString &reason)
{
    return unsupported(reason);
}

FileHandle reopenForReading(const FileHandle &, QString &reason)
{
    return unsupported(reason);
}
#endif
} // namespace platform
