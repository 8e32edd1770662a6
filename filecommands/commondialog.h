#pragma once

#include <QString>
#include <QStringList>

class FileDialogs;
class QWidget;

// The window's file dialog and its memory of the current file. FileName is the current
// file name: empty until a file is chosen in either dialog, then the chosen full path,
// proposed again whenever a dialog opens. A cancelled dialog leaves it as it was.
class CommonDialog
{
public:
    explicit CommonDialog(FileDialogs &dialogs) : m_dialogs(dialogs) {}

    // Description and pattern pairs, all separated by "|": "list files|*.lst|...".
    void setFilter(const QString &filter) { m_filter = filter; }
    [[nodiscard]] QString Filter() const { return m_filter; }
    [[nodiscard]] QString FileName() const { return m_fileName; }
    // Makes path, as a full path, the current file name, as a choice in a dialog does.
    void setFileName(const QString &path);

    // Each shows its dialog and returns whether the user chose a file.
    bool ShowOpen(QWidget *parent);
    bool ShowSave(QWidget *parent);

    // The filter as Qt name filters: "list files (*.lst)", in the filter's order.
    [[nodiscard]] QStringList nameFilters() const;

private:
    bool take(const QString &chosen);

    FileDialogs &m_dialogs;
    QString m_filter;
    QString m_fileName;
};
