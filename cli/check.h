#pragma once

#include "request.h"

#include <QString>

// Whether saving the list file at path would give back its bytes: exit status 0 when it
// would, 1 when not (saying where), 2 when the file cannot be read.
[[nodiscard]] int check(const QString &path, const Request &request);
