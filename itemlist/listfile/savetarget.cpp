#include "listfile/savetarget.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

bool SaveTarget::fail(const QString &reason)
{
    m_errorString = reason;
    return false;
}

bool SaveTarget::open(const QString &path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(nativePath.constData(), &status) != 0) {
        // A file yet to be made; QSaveFile makes it, at the end of a dangling link too.
        if (errno == ENOENT)
            return openReplacement(path, nullptr);
        return fail(systemReason(errno));
    }
    if (S_ISDIR(status.st_mode))
        return fail(systemReason(EISDIR));
    if (!S_ISREG(status.st_mode))
        return openDirectly(path);
    if (::access(nativePath.constData(), W_OK) != 0)
        return fail(systemReason(errno));
    return openReplacement(path, &status);
}

bool SaveTarget::openReplacement(const QString &path, const struct stat *old)
{
    auto *replacement = new QSaveFile(path);
    m_file.reset(replacement);
    QSaveFile &file = *replacement;
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    struct stat written = {};
    const bool replacing =
        old && ::fstat(file.handle(), &written) == 0 && written.st_ino != old->st_ino;
    if (replacing) {
        // Changing the owner clears the set-user-ID and set-group-ID bits, so the mode comes
        // after. Either may be refused to a process that is not privileged; the group alone
        // may still be allowed.
        if (::fchown(file.handle(), old->st_uid, old->st_gid) != 0)
            (void)::fchown(file.handle(), uid_t(-1), old->st_gid);
        (void)::fchmod(file.handle(), old->st_mode & 07777);
    }
    return true;
}

bool SaveTarget::openDirectly(const QString &path)
{
    m_file = std::make_unique<QFile>(path);
    QFileDevice &file = *m_file;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    return true;
}

bool SaveTarget::commit()
{
    if (auto *replacement = qobject_cast<QSaveFile *>(m_file.get()))
        return replacement->commit() || fail(replacement->errorString());
    m_file->close();
    return m_file->error() == QFileDevice::NoError || fail(m_file->errorString());
}
