#pragma once

#include "request.h"

#include <QString>
#include <QStringList>

#include <optional>

// Sorts the list files at inputs ("-" for standard input) into one list and writes it to
// output, or to standard output; returns the exit status. A list larger than the request's
// memory budget is sorted in runs in temporary files, and merged.
[[nodiscard]] int sortFiles(const QStringList &inputs, const std::optional<QString> &output,
                            const Request &request);
