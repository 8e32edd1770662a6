#include "currentfile.h"

#include "listfile.h"
#include "listloader.h"
#include "sorteditemlist.h"

#include <QDir>

QString CurrentFile::loadFinished(const LoadOutcome &outcome)
{
    m_path = outcome.path;
    m_encoding = outcome.encoding;
    m_version = outcome.version;
    m_mustAsk = !outcome.errorString.isEmpty();
    if (!m_mustAsk)
        return {};
    return tr("Cannot load the list from \"%1\": %2.\n\nThe file was not loaded "
              "whole, so Save list will ask for a file name.")
        .arg(QDir::toNativeSeparators(outcome.path), outcome.errorString);
}

QString CurrentFile::changeOnDisk(const QString &path) const
{
    using Kind = platform::FileStatus::Kind;
    if (path != m_path || !m_version || m_version->status.kind != Kind::Regular)
        return {};
    platform::FileStatus now;
    QString reason;
    // A file that cannot be looked at is left to the save, which says why.
    if (!platform::fileStatus(path, now, reason) || now.kind == Kind::Missing)
        return {};
    const std::optional<quint64> &digest = m_version->digest;
    if (now.sameVersionAs(m_version->status) &&
        (!digest || digestOfFile(path).value_or(*digest) == *digest))
        return {};
    return tr("The file \"%1\" has changed on disk since it was loaded or saved "
              "here.\n\nSave list will ask for a file name, so that the change is "
              "not written over unseen.")
        .arg(QDir::toNativeSeparators(path));
}

void CurrentFile::chosenForSaving(const QString &path)
{
    if (path != m_path)
        m_encoding = TextEncoding::Utf8;
    m_path = path;
    m_version.reset();
    m_mustAsk = false;
}

bool CurrentFile::save(const QString &path, const SortedItemList &list, QString &message)
{
    QString errorString;
    const auto encoding = encodingToWrite(itemsToWrite(list), m_encoding, {}, errorString);
    if (encoding)
        m_encoding = *encoding;
    if (encoding && saveListFile(path, list.stream(), m_encoding, errorString,
                                 platform::ReaderWait::Fail, &m_version)) {
        m_path = path;
        return true;
    }
    // A name just chosen that cannot be written is not kept as one to write to unasked.
    if (!m_version)
        m_mustAsk = true;
    message =
        tr("Cannot save the list to \"%1\": %2").arg(QDir::toNativeSeparators(path), errorString);
    return false;
}
