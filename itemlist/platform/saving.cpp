#include "platform.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <tuple>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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
using detail::unsupported;

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

bool syncToDisk(const FileHandle &file, QString &reason)
{
    return ::fsync(file.get()) == 0 || fail(reason);
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

bool isSameFile(const FileHandle &file, const FileStatus &status)
{
    FileStatus found;
    QString reason;
    return file.status(found, reason) && found.device == status.device &&
           found.inode == status.inode;
}

void copyOwnerAndMode(const FileHandle &file, const FileStatus &status)
{
    const int handle = file.get();
    // Changing the owner clears the set-user-ID and set-group-ID bits, so the mode comes
    // after. Either may be refused to a process that is not privileged; the group alone may
    // still be allowed. Fortified headers want fchown's result used, which (void) does not do.
    if (::fchown(handle, uid_t(status.owner), gid_t(status.group)) != 0)
        std::ignore = ::fchown(handle, uid_t(-1), gid_t(status.group));
    (void)::fchmod(handle, mode_t(status.mode));
}

bool lockForWriting(const FileHandle &target, QString &reason)
{
    using namespace std::chrono_literals;
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (::flock(target.get(), LOCK_EX | LOCK_NB) != 0) {
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

namespace
{
// Copies size bytes from the start of source to the start of target.
bool copyContent(const FileHandle &source, const FileHandle &target, qint64 size, QString &reason)
{
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 done = 0; done < size;) {
        const qint64 length = std::min<qint64>(block.size(), size - done);
        if (!source.readAt(done, block.data(), length, reason))
            return false;
        if (::lseek(target.get(), off_t(done), SEEK_SET) < 0)
            return fail(reason);
        if (!target.writeAll(QByteArrayView(block).first(length), reason))
            return false;
        done += length;
    }
    return true;
}

// Takes room on the disk for size bytes of file without changing its size; false with reason
// when the disk has not got it, the file as it was. A file system that cannot take room ahead
// gets none.
bool reserve(const FileHandle &file, qint64 size, QString &reason)
{
#if defined(Q_OS_LINUX)
    if (::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0 || errno == EOPNOTSUPP ||
        errno == ENOSYS || errno == EINVAL)
        return true;
    reason = lastSystemReason();
    // A reservation that fails may keep part of the room past the end of the file.
    FileStatus status;
    QString ignored;
    if (file.status(status, ignored))
        std::ignore = ::ftruncate(file.get(), off_t(status.size));
    return false;
#else
    (void)file;
    (void)size;
    (void)reason;
    return true;
#endif
}

// Writes the entry of the file at path in its folder through to the disk.
bool syncFolderOf(const QString &path, QString &reason)
{
    const FileHandle folder(::open(nativeFileName(QFileInfo(path).absolutePath()).constData(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return (folder.isOpen() && ::fsync(folder.get()) == 0) || fail(reason);
}
} // namespace

void copyExtendedAttributes(const QString &path, const FileHandle &target)
{
    const QByteArray file = nativeFileName(path);
    const ssize_t namesLength = ::listxattr(file.constData(), nullptr, 0);
    if (namesLength <= 0)
        return;
    QByteArray names(namesLength, Qt::Uninitialized);
    // A list that grew meanwhile no longer fits, and nothing is copied.
    const ssize_t listed = ::listxattr(file.constData(), names.data(), size_t(names.size()));
    if (listed <= 0)
        return;
    for (const QByteArray &name : names.first(listed - 1).split('\0')) {
        const ssize_t length = ::getxattr(file.constData(), name.constData(), nullptr, 0);
        if (length < 0)
            continue;
        QByteArray value(length, Qt::Uninitialized);
        const ssize_t got =
            ::getxattr(file.constData(), name.constData(), value.data(), size_t(value.size()));
        if (got >= 0)
            (void)::fsetxattr(target.get(), name.constData(), value.constData(), size_t(got), 0);
    }
}

bool overwrite(const FileHandle &target, const FileHandle &source, qint64 size, QString &reason)
{
    return reserve(target, size, reason) && copyContent(source, target, size, reason) &&
           (::ftruncate(target.get(), off_t(size)) == 0 || fail(reason)) &&
           syncToDisk(target, reason);
}

FileHandle copyToNewFile(const FileHandle &source, qint64 size, const QString &path,
                         QString &reason)
{
    const QByteArray name = nativeFileName(path);
    // An unnamed file gets its name once complete; where the file system makes none, a named
    // one beside path, linked to path once complete.
    FileHandle copy;
#if defined(O_TMPFILE)
    copy = FileHandle(::open(nativeFileName(QFileInfo(path).absolutePath()).constData(),
                             O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
#else
    errno = EOPNOTSUPP;
#endif
    QString temporaryPath;
    if (!copy.isOpen()) {
        if (errno != EOPNOTSUPP && errno != EISDIR)
            return failed(reason);
        copy = createBeside(path, temporaryPath, reason);
        if (!copy.isOpen() || ::fchmod(copy.get(), 0600) != 0)
            return copy.isOpen() ? failed(reason) : FileHandle();
    }
    const auto removeTemporary = qScopeGuard([&] {
        if (!temporaryPath.isEmpty())
            removeFile(temporaryPath);
    });
    if (!copyContent(source, copy, size, reason) || !syncToDisk(copy, reason))
        return {};
    const bool named =
        temporaryPath.isEmpty()
            ? ::linkat(AT_FDCWD, ("/proc/self/fd/" + QByteArray::number(copy.get())).constData(),
                       AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0
            : ::link(nativeFileName(temporaryPath).constData(), name.constData()) == 0;
    if (!named || !syncFolderOf(path, reason))
        return named ? FileHandle() : failed(reason);
    return copy;
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

bool syncToDisk(const FileHandle &file, QString &reason)
{
    if (::_commit(file.get()) == 0)
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

bool isSameFile(const FileHandle &, const FileStatus &)
{
    return false;
}

void copyOwnerAndMode(const FileHandle &, const FileStatus &) {}

bool lockForWriting(const FileHandle &, QString &)
{
    return true;
}

void copyExtendedAttributes(const QString &, const FileHandle &) {}

bool overwrite(const FileHandle &, const FileHandle &, qint64, QString &reason)
{
    reason = systemReason(ENOSYS);
    return false;
}

FileHandle copyToNewFile(const FileHandle &, qint64, const QString &, QString &reason)
{
    return unsupported(reason);
}
#endif
} // namespace platform
