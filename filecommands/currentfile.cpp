#include "currentfile.h"

#include "listfile.h"
#include "listloader.h"

#include <QDir>

QString CurrentFile::loadFinished(const LoadOutcome &outcome)
{
    m_loadedPath = outcome.path;
    m_encoding = outcome.encoding;
    m_loadedWhole = outcome.errorString.isEmpty();
    if (m_loadedWhole)
        return {};
    return QStringLiteral("Cannot load the list from \"%1\": %2.\n\nThe file was not loaded "
                          "whole, so Save list will ask for a file name.")
        .arg(QDir::toNativeSeparators(outcome.path), outcome.errorString);
}

void CurrentFile::chosenForSaving(const QString &path)
{
    if (path != m_loadedPath)
        m_encoding = TextEncoding::Utf8;
    m_loadedWhole = true;
}

bool CurrentFile::save(const QString &path, const SortedItemList &list, QString &message)
{
    m_encoding = encodingForSaving(list, m_encoding);
    QString errorString;
    if (saveListFile(path, list, m_encoding, errorString))
        return true;
    message = QStringLiteral("Cannot save the list to \"%1\": %2")
                  .arg(QDir::toNativeSeparators(path), errorString);
    return false;
}
