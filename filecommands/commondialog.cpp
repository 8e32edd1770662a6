#include "commondialog.h"

#include "prompts.h"

#include <QFileInfo>

QStringList CommonDialog::nameFilters() const
{
    const QStringList parts = m_filter.split(u'|');
    QStringList filters;
    for (qsizetype index = 0; index + 1 < parts.size(); index += 2) {
        QString patterns = parts[index + 1];
        patterns.replace(u';', u' ');
        filters.append(QStringLiteral("%1 (%2)").arg(parts[index], patterns));
    }
    return filters;
}

bool CommonDialog::ShowOpen(QWidget *parent)
{
    return take(m_dialogs.chooseFileToOpen(parent, m_fileName, nameFilters()));
}

bool CommonDialog::ShowSave(QWidget *parent)
{
    return take(m_dialogs.chooseFileToSave(parent, m_fileName, nameFilters()));
}

void CommonDialog::setFileName(const QString &path)
{
    m_fileName = QFileInfo(path).absoluteFilePath();
}

bool CommonDialog::take(const QString &chosen)
{
    if (chosen.isEmpty())
        return false;
    setFileName(chosen);
    return true;
}
