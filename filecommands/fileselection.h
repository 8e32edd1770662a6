#pragma once

#include <QString>

class CommonDialog;
class MessageBoxes;
class QWidget;

enum class FileDialogKind { Open, Save };

// The filter of the open and save dialogs, its descriptions in the user's language.
[[nodiscard]] QString listFileFilter();

// Lets the user choose a file for the Load or Save command. On a choice the window's title
// becomes formTitle, a space and the path, and the command goes on: returns true. When no
// file is chosen, cancelling included, shows "No file selected" and returns false, having
// changed nothing.
bool selectFile(CommonDialog &dialog, FileDialogKind kind, QWidget &window,
                const QString &formTitle, MessageBoxes &boxes);

// Takes path as a choice in the open dialog would take it, for a file given to the program
// or dropped onto its window: it becomes the dialog's file name, and the window's title
// formTitle, a space and its full path.
void takeFile(CommonDialog &dialog, const QString &path, QWidget &window, const QString &formTitle);
