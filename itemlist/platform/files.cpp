#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <chrono>
#include <functional>
#include <limits>
#include <thread>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#include <system_error>
#endif

namespace platform
{
namespace
{
QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// Where the link at path leads, made absolute; empty when path is no link.
QString readLink(const QString &path);

// Calls visit with path, made absolute, and with each path its chain of links leads to, in
// turn, until visit returns true; returns whether it did.
bool anyOnLinkChain(const QString &path, const std::function<bool(const QString &)> &visit)
{
    QString hop = absoluteClean(path);
    for (int links = 0; links < 40; ++links) {
        if (visit(hop))
            return true;
        hop = readLink(hop);
        if (hop.isEmpty())
            return false;
    }
    return false;
}
} // namespace

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        FileHandle old(std::exchange(m_handle, other.release()));
    }
    return *this;
}

QString folderReason()
{
    return systemReason(EISDIR);
}

int handleNamed(const QString &path)
{
    static const QRegularExpression numbered(
        QStringLiteral("^/(?:dev/fd|proc/(?:self|thread-self|%1)/fd)/([0-9]+)$")
            .arg(QCoreApplication::applicationPid()));
    int handle = -1;
    anyOnLinkChain(path, [&](const QString &hop) {
        if (hop == u"/dev/stdout")
            handle = 1;
        else if (hop == u"/dev/stderr")
            handle = 2;
        else if (const QRegularExpressionMatch match = numbered.match(hop); match.hasMatch())
            handle = match.captured(1).toInt();
        return handle >= 0;
    });
    return handle;
}

bool isSystemPath(const QString &path)
{
    return anyOnLinkChain(path, [](const QString &hop) {
        return hop.startsWith(u"/dev/") || hop.startsWith(u"/proc/");
    });
}

QString linkTarget(const QString &path, QString &reason)
{
    QString target = path;
    for (int links = 0; links < 40; ++links) {
        const QString next = readLink(target);
        if (next.isEmpty())
            return target;
        target = next;
    }
    reason = systemReason(ELOOP);
    return {};
}

#if defined(Q_OS_UNIX)
namespace
{
QString readLink(const QString &path)
{
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length =
        ::readlink(nativeFileName(path).constData(), target.data(), size_t(target.size()));
    if (length <= 0)
        return {};
    target.truncate(length);
    return absoluteClean(QFileInfo(path).absoluteDir().filePath(fileNameFromNative(target)));
}

bool fail(QString &reason)
{
    reason = lastSystemReason();
    return false;
}

FileHandle failed(QString &reason)
{
    reason = lastSystemReason();
    return {};
}

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
    if (m_handle >= 0)
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

bool fileStatus(int handle, FileStatus &status, QString &reason)
{
    struct stat found = {};
    if (::fstat(handle, &found) != 0)
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
    if (!fileStatus(file.get(), status, reason))
        return {};
    if (status.kind == FileStatus::Kind::Folder) {
        reason = folderReason();
        return {};
    }
    // A regular file never keeps a read waiting; the rest wait in readSome().
    if (status.kind == FileStatus::Kind::Regular && !setBlocking(file.get(), true))
        return failed(reason);
    return file;
}

qint64 readSome(int handle, char *into, qint64 size, const std::stop_token &stop, QString &reason)
{
    for (;;) {
        if (!waitForInput(handle, stop)) {
            reason.clear();
            return -1;
        }
        const ssize_t length = ::read(handle, into, size_t(size));
        if (length >= 0)
            return length;
        if (errno != EAGAIN && errno != EINTR) {
            reason = lastSystemReason();
            return -1;
        }
    }
}

bool readAt(int handle, qint64 offset, char *into, qint64 size, QString &reason)
{
    for (qint64 done = 0; done < size;) {
        const ssize_t length =
            ::pread(handle, into + done, size_t(size - done), off_t(offset + done));
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

FileHandle duplicateStandardInput(QString &reason)
{
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    if (flags < 0)
        return failed(reason);
    if ((flags & O_ACCMODE) == O_WRONLY) {
        reason = systemReason(EBADF);
        return {};
    }
    FileHandle duplicate(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    return duplicate.isOpen() ? std::move(duplicate) : failed(reason);
}

FileHandle duplicateForWriting(int handle, QString &reason)
{
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0)
        return failed(reason);
    if ((flags & O_ACCMODE) == O_RDONLY) {
        reason = systemReason(EBADF);
        return {};
    }
    FileHandle duplicate(::fcntl(handle, F_DUPFD_CLOEXEC, 0));
    return duplicate.isOpen() ? std::move(duplicate) : failed(reason);
}

FileHandle openForWritingInto(const QString &path, ReaderWait wait, QString &reason)
{
    const int waiting = wait == ReaderWait::Fail ? O_NONBLOCK : 0;
    FileHandle file(::open(nativeFileName(path).constData(), O_WRONLY | O_CLOEXEC | waiting));
    if (!file.isOpen() || !setBlocking(file.get(), true))
        return failed(reason);
    return file;
}

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
    // still be allowed.
    if (::fchown(handle, uid_t(status.owner), gid_t(status.group)) != 0)
        (void)::fchown(handle, uid_t(-1), gid_t(status.group));
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
        const ssize_t length = ::pread(source, block.data(), size_t(block.size()), off_t(done));
        if (length <= 0) {
            reason = systemReason(length < 0 ? errno : EIO);
            return false;
        }
        if (::lseek(target, off_t(done), SEEK_SET) < 0)
            return fail(reason);
        if (!writeAll(target, QByteArrayView(block).first(length), reason))
            return false;
        done += length;
    }
    return (::ftruncate(target, off_t(size)) == 0 || fail(reason)) && syncToDisk(target, reason);
}

qint64 openFileRoom()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<int>::max();
    qint64 open = 0;
    if (DIR *handles = ::opendir("/proc/self/fd")) {
        while (const dirent *entry = ::readdir(handles))
            open += entry->d_name[0] != '.';
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

FileHandle reopenForReading(int handle, QString &reason)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(handle);
    FileHandle file(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    return file.isOpen() ? std::move(file) : failed(reason);
}
#else
// Without POSIX: the C runtime's handles, and what QFileInfo can tell. Owner, group and
// set-id bits are left alone; what needs more than that fails as unsupported.
namespace
{
QString readLink(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? absoluteClean(info.symLinkTarget()) : QString();
}

FileHandle unsupported(QString &reason)
{
    reason = systemReason(ENOSYS);
    return {};
}
} // namespace

FileHandle::~FileHandle()
{
    if (m_handle >= 0)
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

bool fileStatus(int handle, FileStatus &status, QString &reason)
{
    struct _stat64 found = {};
    status = {};
    if (::_fstat64(handle, &found) != 0) {
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

qint64 readSome(int handle, char *into, qint64 size, const std::stop_token &, QString &reason)
{
    const int length = ::_read(handle, into, unsigned(std::min<qint64>(size, 1 << 30)));
    if (length < 0)
        reason = lastSystemReason();
    return length;
}

bool readAt(int, qint64, char *, qint64, QString &reason)
{
    reason = systemReason(ENOSYS);
    return false;
}

bool writeAll(int handle, QByteArrayView bytes, QString &reason)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const int written = ::_write(handle, bytes.data() + done,
                                     unsigned(std::min<qsizetype>(bytes.size() - done, 1 << 30)));
        if (written <= 0) {
            reason = lastSystemReason();
            return false;
        }
        done += written;
    }
    return true;
}

void holdClosedStandardHandles() {}

int standardOutput()
{
    return ::_fileno(stdout);
}

FileHandle duplicateStandardInput(QString &reason)
{
    FileHandle duplicate(::_dup(::_fileno(stdin)));
    if (!duplicate.isOpen())
        reason = lastSystemReason();
    return duplicate;
}

FileHandle duplicateForWriting(int handle, QString &reason)
{
    FileHandle duplicate(::_dup(handle));
    if (!duplicate.isOpen())
        reason = lastSystemReason();
    return duplicate;
}

FileHandle openForWritingInto(const QString &path, ReaderWait, QString &reason)
{
    FileHandle file(::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
                             _O_WRONLY | _O_BINARY | _O_TRUNC));
    if (!file.isOpen())
        reason = lastSystemReason();
    return file;
}

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

FileHandle reopenForReading(int, QString &reason)
{
    return unsupported(reason);
}
#endif
} // namespace platform
