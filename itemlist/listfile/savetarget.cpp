#include "listfile/savetarget.h"

#include <QFile>
#include <QSaveFile>

bool SaveTarget::fail(const QString &reason)
{
    m_errorString = reason;
    return false;
}

bool SaveTarget::open(const QString &path)
{
    using Kind = platform::FileStatus::Kind;
    platform::FileStatus status;
    QString reason;
    if (!platform::fileStatus(path, status, reason))
        return fail(reason);
    switch (status.kind) {
    case Kind::Missing:
        // A file yet to be made; QSaveFile makes it, at the end of a dangling link too.
        return openReplacement(path, nullptr);
    case Kind::Folder:
        return fail(platform::folderReason());
    case Kind::Other:
        return openDirectly(path);
    case Kind::Regular:
        break;
    }
    if (!platform::isWritable(path, reason))
        return fail(reason);
    return openReplacement(path, &status);
}

bool SaveTarget::openReplacement(const QString &path, const platform::FileStatus *old)
{
    auto *replacement = new QSaveFile(path);
    m_file.reset(replacement);
    QSaveFile &file = *replacement;
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    // A temporary file, not the old one written in place: it takes the old one's owner,
    // group and mode.
    if (old && !platform::isSameFile(file.handle(), *old))
        platform::copyOwnerAndMode(file.handle(), *old);
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
