#include "platform.h"
#include "platform/errors.h"

#include <QFileInfo>

#include <cerrno>
#include <utility>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace platform
{
using detail::fail;
using detail::failed;

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        FileHandle old(std::move(*this));
        m_handle = std::exchange(other.m_handle, -1);
        m_borrowed = other.m_borrowed;
    }
    return *this;
}

QString folderReason()
{
    return systemReason(EISDIR);
}

#if defined(Q_OS_UNIX)
namespace
{
void statusFrom(const struct stat &found, FileStatus &status)
{
    using Kind = FileStatus::Kind;
    status.kind = S_ISDIR(found.st_mode)   ? Kind::Folder
                  : S_ISREG(found.st_mode) ? Kind::Regular
                                           : Kind::Other;
    status.device = found.st_dev;
    status.inode = found.st_ino;
    status.owner = found.st_uid;
    status.group = found.st_gid;
    status.mode = found.st_mode & 07777;
    status.links = found.st_nlink;
    status.size = found.st_size;
    status.modified = qint64(found.st_mtim.tv_sec) * 1'000'000'000 + found.st_mtim.tv_nsec;
}

bool setBlocking(int handle, bool blocking)
{
    const int flags = ::fcntl(handle, F_GETFL);
    return flags >= 0 &&
           ::fcntl(handle, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

// Waits until handle has bytes to read or has ended; false once stop is requested.
bool waitForInput(int handle, const std::stop_token &stop)
{
    pollfd watched{handle, POLLIN, 0};
    // A stop is seen within a tenth of a second.
    while (!stop.stop_requested()) {
        const int ready = ::poll(&watched, 1, 100);
        if (ready != 0 && !(ready < 0 && errno == EINTR))
            return true;
    }
    return false;
}
} // namespace

FileHandle::~FileHandle()
{
    if (m_handle >= 0 && !m_borrowed)
        ::close(m_handle);
}

bool fileStatus(const QString &path, FileStatus &status, QString &reason)
{
    struct stat found = {};
    if (::stat(nativeFileName(path).constData(), &found) != 0) {
        status = {};
        return errno == ENOENT || fail(reason);
    }
    statusFrom(found, status);
    return true;
}

bool FileHandle::status(FileStatus &status, QString &reason) const
{
    struct stat found = {};
    if (::fstat(m_handle, &found) != 0)
        return fail(reason);
    statusFrom(found, status);
    return true;
}

bool isWritable(const QString &path, QString &reason)
{
    return ::access(nativeFileName(path).constData(), W_OK) == 0 || fail(reason);
}

FileHandle openForReading(const QString &path, QString &reason)
{
    FileHandle file(::open(nativeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.isOpen())
        return failed(reason);
    FileStatus status;
    if (!file.status(status, reason))
        return {};
    if (status.kind == FileStatus::Kind::Folder) {
        reason = folderReason();
        return {};
    }
    // A regular file never keeps a read waiting; the rest wait in read().
    if (status.kind == FileStatus::Kind::Regular && !setBlocking(file.get(), true))
        return failed(reason);
    return file;
}

qint64 FileHandle::read(char *into, qint64 size, const std::stop_token &stop, QString &reason) const
{
    for (;;) {
        if (!waitForInput(m_handle, stop)) {
            reason.clear();
            return -1;
        }
        const ssize_t length = ::read(m_handle, into, size_t(size));
        if (length >= 0)
            return length;
        if (errno != EAGAIN && errno != EINTR) {
            reason = lastSystemReason();
            return -1;
        }
    }
}

bool FileHandle::readAt(qint64 offset, char *into, qint64 size, QString &reason) const
{
    for (qint64 done = 0; done < size;) {
        const ssize_t length =
            ::pread(m_handle, into + done, size_t(size - done), off_t(offset + done));
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0) {
            reason = systemReason(length < 0 ? errno : EIO);
            return false;
        }
        done += length;
    }
    return true;
}

bool FileHandle::writeAll(QByteArrayView bytes, QString &reason) const
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(m_handle, bytes.data() + done, size_t(bytes.size() - done));
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

FileHandle openForWritingInto(const QString &path, ReaderWait wait, QString &reason)
{
    const int waiting = wait == ReaderWait::Fail ? O_NONBLOCK : 0;
    FileHandle file(::open(nativeFileName(path).constData(), O_WRONLY | O_CLOEXEC | waiting));
    if (!file.isOpen() || !setBlocking(file.get(), true))
        return failed(reason);
    return file;
}

FileHandle openForRewriting(const QString &path, QString &reason)
{
    FileHandle file(::open(nativeFileName(path).constData(), O_RDWR | O_CLOEXEC));
    return file.isOpen() ? std::move(file) : failed(reason);
}
#else
// Without POSIX: the C runtime's handles, and what QFileInfo can tell.
FileHandle::~FileHandle()
{
    if (m_handle >= 0 && !m_borrowed)
        ::_close(m_handle);
}

bool fileStatus(const QString &path, FileStatus &status, QString &)
{
    const QFileInfo info(path);
    using Kind = FileStatus::Kind;
    status = {};
    status.kind = !info.exists()  ? Kind::Missing
                  : info.isDir()  ? Kind::Folder
                  : info.isFile() ? Kind::Regular
                                  : Kind::Other;
    status.size = info.size();
    status.modified = info.lastModified().toMSecsSinceEpoch() * 1'000'000;
    return true;
}

bool FileHandle::status(FileStatus &status, QString &reason) const
{
    struct _stat64 found = {};
    status = {};
    if (::_fstat64(m_handle, &found) != 0) {
        reason = lastSystemReason();
        return false;
    }
    using Kind = FileStatus::Kind;
    status.kind = (found.st_mode & _S_IFDIR)   ? Kind::Folder
                  : (found.st_mode & _S_IFREG) ? Kind::Regular
                                               : Kind::Other;
    status.size = found.st_size;
    status.modified = qint64(found.st_mtime) * 1'000'000'000;
    return true;
}

bool isWritable(const QString &path, QString &reason)
{
    if (QFileInfo(path).isWritable())
        return true;
    reason = systemReason(EACCES);
    return false;
}

FileHandle openForReading(const QString &path, QString &reason)
{
    FileHandle file(
        ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()), _O_RDONLY | _O_BINARY));
    if (!file.isOpen())
        reason = lastSystemReason();
    return file;
}

qint64 FileHandle::read(char *into, qint64 size, const std::stop_token &, QString &reason) const
{
    const int length = ::_read(m_handle, into, unsigned(std::min<qint64>(size, 1 << 30)));
    if (length < 0)
        reason = lastSystemReason();
    return length;
}

bool FileHandle::readAt(qint64, char *, qint64, QString &reason) const
{
    reason = systemReason(ENOSYS);
    return false;
}

bool FileHandle::writeAll(QByteArrayView bytes, QString &reason) const
{
    for (qsizetype done = 0; done < bytes.size();) {
        const int written = ::_write(m_handle, bytes.data() + done,
                                     unsigned(std::min<qsizetype>(bytes.size() - done, 1 << 30)));
        if (written <= 0) {
            reason = lastSystemReason();
            return false;
        }
        done += written;
    }
    return true;
}

FileHandle openForWritingInto(const QString &path, ReaderWait, QString &reason)
{
    FileHandle file(::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
                             _O_WRONLY | _O_BINARY | _O_TRUNC));
    if (!file.isOpen())
        reason = lastSystemReason();
    return file;
}

FileHandle openForRewriting(const QString &path, QString &reason)
{
    FileHandle file(::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()), _O_RDWR | _O_BINARY));
    if (!file.isOpen())
        reason = lastSystemReason();
    return file;
}
#endif
} // namespace platform
