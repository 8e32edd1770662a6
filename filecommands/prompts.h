#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The file dialogs the commands show. Tests answer them; the program uses QtPrompts.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Each returns the chosen path, or an empty string when the user cancels.
    virtual QString chooseFileToOpen(QWidget *parent, const QString &proposed,
                                     const QStringList &nameFilters) = 0;
    virtual QString chooseFileToSave(QWidget *parent, const QString &proposed,
                                     const QStringList &nameFilters) = 0;
};

// The modal message boxes the commands show.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // A critical box titled "Error" with one OK button; returns once it is closed.
    virtual void showError(QWidget *parent, const QString &text) = 0;
};
