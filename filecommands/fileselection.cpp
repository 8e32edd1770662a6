#include "fileselection.h"

#include "commondialog.h"
#include "prompts.h"

#include <QCoreApplication>
#include <QWidget>

namespace
{
void showInTitle(const CommonDialog &dialog, QWidget &window, const QString &formTitle)
{
    window.setWindowTitle(formTitle + u' ' + dialog.FileName());
}
} // namespace

QString listFileFilter()
{
    return QStringLiteral("%1|*.lst;*.txt|%2|*.lst|%3|*.txt")
        .arg(QCoreApplication::translate("FileSelection", "all supported"),
             QCoreApplication::translate("FileSelection", "list files"),
             QCoreApplication::translate("FileSelection", "text files"));
}

bool selectFile(CommonDialog &dialog, FileDialogKind kind, QWidget &window,
                const QString &formTitle, MessageBoxes &boxes)
{
    dialog.setFilter(listFileFilter());
    // A cancel while an earlier name is set ends the command too: going on would load the
    // earlier file a second time.
    const bool chosen =
        kind == FileDialogKind::Open ? dialog.ShowOpen(&window) : dialog.ShowSave(&window);
    if (!chosen || dialog.FileName().isEmpty()) {
        boxes.showError(&window, QCoreApplication::translate("FileSelection", "No file selected"));
        return false;
    }
    showInTitle(dialog, window, formTitle);
    return true;
}

void takeFile(CommonDialog &dialog, const QString &path, QWidget &window, const QString &formTitle)
{
    dialog.setFileName(path);
    showInTitle(dialog, window, formTitle);
}
