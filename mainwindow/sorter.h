#pragma once

#include "order/collation.h"

#include <QStringList>
#include <QWidget>

#include <memory>

class CommonDialog;
class CurrentFile;
class FileDialogs;
class ItemListModel;
class ListLoader;
class MessageBoxes;
struct LoadOutcome;
class QLineEdit;
class QPushButton;
class SortedListBox;

// The program's one window: the sorted list, the entry field with its Add button, and the
// Load and Save buttons. It owns every control and the title prefix for the whole run.
//
// The names of the window's controls and their operations (List1, Text1, Command1 to
// Command3, cd1, FormTitle, Form_Load, Command1_Click to Command3_Click, Save_ListBox with
// Path and Lst, and the list's AddItem, ListCount and List) are the program's established
// names, kept as they have always been; everything else follows Qt's style.
class Sorter : public QWidget
{
    Q_OBJECT

    // The window's list, which List1 shows; made before the controls.
    ItemListModel *m_list;

public:
    // The window shows its file dialogs and message boxes through dialogs and boxes, and
    // keeps its list in the order of collation.
    Sorter(FileDialogs &dialogs, MessageBoxes &boxes, const Collation &collation = Collation(),
           QWidget *parent = nullptr);
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

    // Replaces the file at Path with the items of Lst, as CurrentFile writes it; says so in a
    // box when that fails.
    void Save_ListBox(const QString &Path, const SortedListBox &Lst);

    // Loads each file in turn as Load list does once it is chosen, after any load running
    // now: files given to the program, and files dropped onto the window.
    void loadFiles(const QStringList &paths);

private:
    // Whether a load runs or files wait for one; Load and Save are off meanwhile.
    [[nodiscard]] bool loading() const;
    void loadNextFile();
    void startLoad();
    void loadFinished(const LoadOutcome &outcome);

    MessageBoxes &m_boxes;
    ListLoader *m_loader;
    QStringList m_waitingFiles;
    std::unique_ptr<CurrentFile> m_currentFile;
};
