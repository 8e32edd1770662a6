#pragma once

#include "prompts.h"

#include <QStringList>

// Answers the file dialogs from a queue of paths ("" cancels) and records what was shown.
class FakePrompts : public FileDialogs, public MessageBoxes
{
public:
    QStringList answers;
    QStringList shown;       // "open" or "save" for each dialog
    QStringList proposed;    // the name each dialog proposed
    QStringList nameFilters; // of the last dialog
    QStringList errors;

    QString chooseFileToOpen(QWidget *, const QString &name, const QStringList &filters) override
    {
        return answer(u"open"_qs, name, filters);
    }
    QString chooseFileToSave(QWidget *, const QString &name, const QStringList &filters) override
    {
        return answer(u"save"_qs, name, filters);
    }
    void showError(QWidget *, const QString &text) override { errors.append(text); }

private:
    QString answer(const QString &kind, const QString &name, const QStringList &filters)
    {
        shown.append(kind);
        proposed.append(name);
        nameFilters = filters;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};
