#pragma once

#include "collationinbackground.h"
#include "listfile.h"
#include "progress.h"
#include "request.h"
#include "runs/runstore.h"

#include <QString>
#include <QStringList>

#include <optional>

// What failed, for a message: "read" or "write", the name of what it was done to, and why.
struct Failure {
    const char *what;
    QString name; // as a message names it
    QString reason;
};

// The items read so far: those not in a run yet, and the runs.
struct Gathered {
    ItemBatch items;
    RunStore runs;
    TextEncoding firstFileEncoding = TextEncoding::Utf8;
    bool allInFirstFileEncoding = true;
    QString reading; // the input being read
};

// Reads the list files at paths into gathered, within the request's memory budget: when
// the items no longer fit it, they go to a run. The first file's encoding is kept.
[[nodiscard]] std::optional<Failure> readInputs(const QStringList &paths, const Request &request,
                                                CollationInBackground &collation,
                                                Gathered &gathered, Progress &progress);
