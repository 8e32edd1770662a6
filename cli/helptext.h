#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

// listsort's --help: the usage line, what the program does, one entry for each of options,
// and the exit statuses.
[[nodiscard]] QString helpText(const QString &description,
                               const QList<QCommandLineOption> &options);
