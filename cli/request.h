#pragma once

// What the options ask of a listsort run besides its files, and its exit statuses.

#include "budget.h"
#include "listfile/encoding/textencoding.h"
#include "storage/itemstream.h"

#include <QByteArray>
#include <QString>

#include <optional>

constexpr int unsorted = 1;
constexpr int failure = 2;
// The file name that stands for standard input or output.
inline const QString standardStream = QStringLiteral("-");

struct Request {
    std::optional<TextEncoding> encoding;      // to write in
    std::optional<TextEncoding> inputEncoding; // to read files without a byte-order mark in
    QByteArray locale;
    ListForm form;
    BudgetPlan budget{};
    QString temporaryFolder;
};
