#pragma once

#include "prompts.h"

// The real dialogs and boxes, built on QFileDialog and QMessageBox.
class QtPrompts : public FileDialogs, public MessageBoxes
{
public:
    QString chooseFileToOpen(QWidget *parent, const QString &proposed,
                             const QStringList &nameFilters) override;
    QString chooseFileToSave(QWidget *parent, const QString &proposed,
                             const QStringList &nameFilters) override;
    void showError(QWidget *parent, const QString &text) override;
};
