#pragma once

// What the parts of a listsort run share: its exit statuses, its request, its messages.

#include "listfile.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

constexpr int unsorted = 1;
constexpr int failure = 2;
// The file name that stands for standard input or output.
inline const QString standardStream = QStringLiteral("-");

// What the options ask of a run besides its files.
struct Request {
    std::optional<TextEncoding> encoding;
    QByteArray locale;
    ListForm form;
    qint64 memoryBudget = 0;
    QString temporaryFolder;
};

// How messages name what listsort reads or writes: a file by its name in quotes, any bytes of
// it that do not decode as octal escapes ('legacy\350name.lst'); standard input and output
// by those words.
[[nodiscard]] QString quotedName(const QString &path);
[[nodiscard]] QString inputName(const QString &path);
inline const QString standardOutputName = QStringLiteral("standard output");

// Says that listsort cannot do what to the file that name names, and why; returns the
// failure status.
int complain(const char *what, const QString &name, const QString &reason);

// Why encoding cannot write the item on line, counted from 0.
[[nodiscard]] QString unwritableReason(qsizetype line, TextEncoding encoding);

// The encoding to write list in: the requested one, when it can write every item, or without
// a request, the encoding the list was read in as far as it can. Empty, with reason saying
// why, when the requested one cannot.
[[nodiscard]] std::optional<TextEncoding> encodingToWrite(const SortedItemList &list,
                                                          const Request &request, TextEncoding read,
                                                          QString &reason);
// The same for the items that merge() gives, loneSurrogates of which hold a lone surrogate;
// each look at the items is a merge of its own. Empty too when a merge fails.
[[nodiscard]] std::optional<TextEncoding> encodingToWrite(const std::function<ItemChunks()> &merge,
                                                          qsizetype loneSurrogates,
                                                          const Request &request, TextEncoding read,
                                                          QString &reason);
