#include "qtprompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace
{
QString choose(QWidget *parent, const QString &proposed, const QStringList &nameFilters,
               QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // The open dialog takes only existing files; the save dialog asks before replacing one.
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    if (!proposed.isEmpty())
        dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString QtPrompts::chooseFileToOpen(QWidget *parent, const QString &proposed,
                                    const QStringList &nameFilters)
{
    return choose(parent, proposed, nameFilters, QFileDialog::AcceptOpen);
}

QString QtPrompts::chooseFileToSave(QWidget *parent, const QString &proposed,
                                    const QStringList &nameFilters)
{
    return choose(parent, proposed, nameFilters, QFileDialog::AcceptSave);
}

void QtPrompts::showError(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("QtPrompts", "Error"), text,
                    QMessageBox::Ok, parent);
    box.exec();
}
