#include "listfile/savetarget.h"

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

bool SaveTarget::open(const QString &path)
{
    using Kind = platform::FileStatus::Kind;
    m_path = path;
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
    if (status.kind == Kind::Other || platform::isSystemPath(path)) {
        platform::FileHandle file = platform::openForWritingInto(path, m_wait, reason);
        if (!file.isOpen())
            return fail(reason);
        // A regular file reached through the system's folders is written over in place.
        if (status.kind == Kind::Regular)
            return openInPlace(std::move(file));
        return openDirectly(std::move(file));
    }
    if (status.kind == Kind::Missing)
        return openReplacement(path, nullptr);
    if (!platform::isWritable(path, reason))
        return fail(reason);
    return openReplacement(path, &status);
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

bool SaveTarget::openReplacement(const QString &path, const platform::FileStatus *old)
{
    QString reason;
    // A link stays a link: the file it leads to is replaced, or made when missing.
    const QString target = platform::linkTarget(path, reason);
    if (target.isEmpty())
        return fail(reason);
    platform::FileHandle replacement = platform::createBeside(target, m_temporaryPath, reason);
    if (!replacement.isOpen()) {
        if (!old)
            return fail(reason);
        platform::FileHandle file =
            platform::openForWritingInto(target, platform::ReaderWait::Wait, reason);
        return file.isOpen() ? openInPlace(std::move(file)) : fail(reason);
    }
    if (old && !platform::isSameFile(replacement.get(), *old))
        platform::copyOwnerAndMode(replacement.get(), *old);
    m_way = Way::Replacing;
    m_path = target;
    m_device.emplace(std::move(replacement), QIODevice::WriteOnly);
    return true;
}

bool SaveTarget::openInPlace(platform::FileHandle target)
{
    QString reason;
    const QString folder = platform::temporaryFolder();
    platform::FileHandle staging = platform::openUnnamedFile(folder, reason);
    if (!staging.isOpen())
        return fail(QStringLiteral("its folder allows no new file, and no copy could be made "
                                   "in the temporary folder '%1': %2")
                        .arg(platform::shownFileName(folder), reason));
    m_way = Way::InPlace;
    m_target = std::move(target);
    m_device.emplace(std::move(staging), QIODevice::WriteOnly);
    return true;
}

bool SaveTarget::commit()
{
    QString reason;
    switch (m_way) {
    case Way::Directly:
        return true;
    case Way::Replacing:
        if (!platform::syncToDisk(m_device->handle(), reason) ||
            !platform::renameOver(m_temporaryPath, m_path, reason))
            return fail(reason);
        m_temporaryPath.clear();
        return true;
    case Way::InPlace: {
        platform::FileStatus written;
        if (!platform::fileStatus(m_device->handle(), written, reason) ||
            !platform::lockForWriting(m_target.get(), reason) ||
            !platform::overwrite(m_target.get(), m_device->handle(), written.size, reason))
            return fail(reason);
        return true;
    }
    }
    return true;
}
