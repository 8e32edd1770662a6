#include "platform.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <tuple>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#include <system_error>
#endif

namespace platform
{
using detail::fail;
using detail::failed;

#if defined(Q_OS_UNIX)
FileHandle createBeside(const QString &path, QString &temporaryPath, QString &reason)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = info.absoluteDir().filePath(
            info.fileName() + u'.' + QString::number(QRandomGenerator::global()->generate(), 36));
        FileHandle file(::open(nativeFileName(candidate).constData(),
                               O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file.isOpen()) {
            temporaryPath = candidate;
            return file;
        }
        if (errno != EEXIST)
            break;
    }
    return failed(reason);
}

bool syncToDisk(int handle, QString &reason)
{
    return ::fsync(handle) == 0 || fail(reason);
}

bool renameOver(const QString &from, const QString &to, QString &reason)
{
    return ::rename(nativeFileName(from).constData(), nativeFileName(to).constData()) == 0 ||
           fail(reason);
}

void removeFile(const QString &path) noexcept
{
    ::unlink(nativeFileName(path).constData());
}

bool isSameFile(int handle, const FileStatus &status)
{
    FileStatus found;
    QString reason;
    return fileStatus(handle, found, reason) && found.device == status.device &&
           found.inode == status.inode;
}

void copyOwnerAndMode(int handle, const FileStatus &status)
{
    // Changing the owner clears the set-user-ID and set-group-ID bits, so the mode comes
    // after. Either may be refused to a process that is not privileged; the group alone may
    // still be allowed. Fortified headers want fchown's result used, which (void) does not do.
    if (::fchown(handle, uid_t(status.owner), gid_t(status.group)) != 0)
        std::ignore = ::fchown(handle, uid_t(-1), gid_t(status.group));
    (void)::fchmod(handle, mode_t(status.mode));
}

bool lockForWriting(int target, QString &reason)
{
    using namespace std::chrono_literals;
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (::flock(target, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return fail(reason);
        if (std::chrono::steady_clock::now() > giveUp) {
            reason = QStringLiteral("another program keeps it locked");
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool overwrite(int target, int source, qint64 size, QString &reason)
{
    if (size > 0) {
        if (const int error = ::posix_fallocate(target, 0, off_t(size));
            error != 0 && error != EOPNOTSUPP && error != EINVAL) {
            reason = systemReason(error);
            return false;
        }
    }
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const qint64 length = std::min<qint64>(block.size(), size - done);
        if (!readAt(source, done, block.data(), length, reason))
            return false;
        if (::lseek(target, off_t(done), SEEK_SET) < 0)
            return fail(reason);
        if (!writeAll(target, QByteArrayView(block).first(length), reason))
            return false;
        done += length;
    }
    return (::ftruncate(target, off_t(size)) == 0 || fail(reason)) && syncToDisk(target, reason);
}
#else
FileHandle createBeside(const QString &path, QString &temporaryPath, QString &reason)
{
    const QString candidate =
        path + u'.' + QString::number(QRandomGenerator::global()->generate(), 36);
    FileHandle file(::_wopen(reinterpret_cast<const wchar_t *>(candidate.utf16()),
                             _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE));
    if (!file.isOpen())
        reason = lastSystemReason();
    else
        temporaryPath = candidate;
    return file;
}

bool syncToDisk(int handle, QString &reason)
{
    if (::_commit(handle) == 0)
        return true;
    reason = lastSystemReason();
    return false;
}

bool renameOver(const QString &from, const QString &to, QString &reason)
{
    std::error_code error;
    std::filesystem::rename(from.toStdWString(), to.toStdWString(), error);
    if (error)
        reason = QString::fromStdString(error.message());
    return !error;
}

void removeFile(const QString &path) noexcept
{
    QFile::remove(path);
}

bool isSameFile(int, const FileStatus &)
{
    return false;
}

void copyOwnerAndMode(int, const FileStatus &) {}

bool lockForWriting(int, QString &)
{
    return true;
}

bool overwrite(int, int, qint64, QString &reason)
{
    reason = systemReason(ENOSYS);
    return false;
}
#endif
} // namespace platform
