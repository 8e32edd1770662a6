#pragma once

#include "listfile/textencoding.h"

#include <QWidget>

class CommonDialog;
class FileDialogs;
class ListLoader;
class MessageBoxes;
class QLineEdit;
class QPushButton;
class SortedListBox;

// The program's one window: the sorted list, the entry field with its Add button, and the
// Load and Save buttons. It owns every control and the title prefix for the whole run.
class Sorter : public QWidget
{
    Q_OBJECT

public:
    // The window shows its file dialogs and message boxes through dialogs and boxes.
    Sorter(FileDialogs &dialogs, MessageBoxes &boxes, QWidget *parent = nullptr);
    ~Sorter() override;

    SortedListBox *List1;
    QLineEdit *Text1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
    CommonDialog *cd1;

    // The title prefix; the file commands add the current path after it.
    QString FormTitle;

public slots:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    // Replaces the file at Path with the items of Lst, in the current file's encoding; says so
    // in a box when that fails.
    void Save_ListBox(const QString &Path, const SortedListBox &Lst);

private:
    void loadFinished(const QString &path, const QString &errorString, TextEncoding encoding);

    MessageBoxes &m_boxes;
    ListLoader *m_loader;
    // The encoding the current file was read in; a save writes it back the same way.
    TextEncoding m_fileEncoding = TextEncoding::Utf8;
};
