#include "listfile/savetarget.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{
// Where a save in place keeps the old content while it writes: the user's cache folder, else
// the temporary folder.
QString backupFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString folder = cache + QStringLiteral("/file-sorter/backups");
    return !cache.isEmpty() && QDir().mkpath(folder) ? folder : platform::temporaryFolder();
}

// Copies the size bytes of file, which is path, to a new backup named after it and the time;
// its name goes to backupPath.
platform::FileHandle keepBackup(const platform::FileHandle &file, qint64 size, const QString &path,
                                QString &backupPath, QString &reason)
{
    const QString folder = backupFolder();
    const QString stem =
        QDir(folder).filePath(QFileInfo(path).fileName() + u'.' +
                              QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"));
    backupPath = stem + QStringLiteral(".backup");
    for (int other = 2; QFileInfo::exists(backupPath) && other < 100; ++other)
        backupPath = stem + u'-' + QString::number(other) + QStringLiteral(".backup");
    platform::FileHandle backup = platform::copyToNewFile(file, size, backupPath, reason);
    if (!backup.isOpen())
        reason = QStringLiteral("cannot keep a copy of its old content in '%1': %2")
                     .arg(platform::shownFileName(folder), reason);
    return backup;
}
} // namespace

SaveTarget::~SaveTarget()
{
    if (!m_temporaryPath.isEmpty()) {
        m_device.reset();
        platform::removeFile(m_temporaryPath);
    }
}

bool SaveTarget::fail(const QString &reason)
{
    m_errorString = reason;
    return false;
}

bool SaveTarget::open(const QString &path, bool digest)
{
    using Kind = platform::FileStatus::Kind;
    m_path = path;
    m_digest = digest;
    QString reason;
    if (const int handle = platform::handleNamed(path); handle >= 0) {
        platform::FileHandle duplicate = platform::duplicateForWriting(handle, reason);
        return duplicate.isOpen() ? openDirectly(std::move(duplicate)) : fail(reason);
    }
    platform::FileStatus status;
    if (!platform::fileStatus(path, status, reason))
        return fail(reason);
    if (status.kind == Kind::Folder)
        return fail(platform::folderReason());
    if (status.kind == Kind::Other) {
        platform::FileHandle file = platform::openForWritingInto(path, m_wait, reason);
        return file.isOpen() ? openDirectly(std::move(file)) : fail(reason);
    }
    // A link stays a link: the file it leads to is replaced, or made when missing.
    const QString target = platform::linkTarget(path, reason);
    if (target.isEmpty())
        return fail(reason);
    if (status.kind == Kind::Missing)
        return openReplacement(target, nullptr);
    if (!platform::isWritable(path, reason))
        return fail(reason);
    if (status.links > 1)
        return openInPlace(target);
    return openReplacement(target, &status);
}

bool SaveTarget::openStandardOutput()
{
    QString reason;
    platform::FileHandle duplicate =
        platform::duplicateForWriting(platform::standardOutput(), reason);
    return duplicate.isOpen() ? openDirectly(std::move(duplicate)) : fail(reason);
}

bool SaveTarget::openDirectly(platform::FileHandle handle)
{
    m_way = Way::Directly;
    m_device.emplace(std::move(handle), QIODevice::WriteOnly);
    return true;
}

bool SaveTarget::openReplacement(const QString &target, const platform::FileStatus *old)
{
    QString reason;
    platform::FileHandle replacement = platform::createBeside(target, m_temporaryPath, reason);
    if (!replacement.isOpen())
        return old ? openInPlace(target) : fail(reason);
    if (old && !platform::isSameFile(replacement, *old)) {
        platform::copyOwnerAndMode(replacement, *old);
        platform::copyExtendedAttributes(target, replacement);
    }
    m_way = Way::Replacing;
    m_path = target;
    m_device.emplace(std::move(replacement), QIODevice::WriteOnly);
    if (m_digest)
        m_device->digestWrites();
    return true;
}

bool SaveTarget::openInPlace(const QString &target)
{
    QString reason;
    m_target = platform::openForRewriting(target, reason);
    if (!m_target.isOpen())
        return fail(reason);
    const QString folder = platform::temporaryFolder();
    platform::FileHandle staging = platform::openUnnamedFile(folder, reason);
    if (!staging.isOpen())
        return fail(QStringLiteral("it is written in place, and no copy of the new content could "
                                   "be made in the temporary folder '%1': %2")
                        .arg(platform::shownFileName(folder), reason));
    m_way = Way::InPlace;
    m_path = target;
    m_device.emplace(std::move(staging), QIODevice::WriteOnly);
    if (m_digest)
        m_device->digestWrites();
    return true;
}

std::optional<FileVersion> SaveTarget::savedVersion() const
{
    platform::FileStatus status;
    QString reason;
    if (!platform::fileStatus(m_path, status, reason))
        return std::nullopt;
    return FileVersion{status, m_device->writtenDigest()};
}

bool SaveTarget::commit()
{
    QString reason;
    switch (m_way) {
    case Way::Directly:
        return true;
    case Way::Replacing:
        if (!platform::syncToDisk(m_device->file(), reason) ||
            !platform::renameOver(m_temporaryPath, m_path, reason))
            return fail(reason);
        m_temporaryPath.clear();
        return true;
    case Way::InPlace:
        return commitInPlace();
    }
    return true;
}

bool SaveTarget::commitInPlace()
{
    QString reason;
    platform::FileStatus written;
    platform::FileStatus old;
    if (!m_device->file().status(written, reason) || !platform::lockForWriting(m_target, reason) ||
        !m_target.status(old, reason))
        return fail(reason);
    QString backupPath;
    const platform::FileHandle backup = keepBackup(m_target, old.size, m_path, backupPath, reason);
    if (!backup.isOpen())
        return fail(reason);
    const bool saved = platform::overwrite(m_target, m_device->file(), written.size, reason);
    // A save that failed part way puts the old content back; should that fail too, the
    // backup stays, and the message says where.
    QString restoreReason;
    if (!saved && !platform::overwrite(m_target, backup, old.size, restoreReason))
        return fail(QStringLiteral("%1; its old content is kept in '%2'")
                        .arg(reason, platform::shownFileName(backupPath)));
    platform::removeFile(backupPath);
    return saved || fail(reason);
}
