#pragma once

#include <QStringList>

// Runs listsort as arguments ask, the program's name first, file names as
// platform::fileNameFromNative() gives them; returns the exit status.
[[nodiscard]] int runCommandLine(const QStringList &arguments);
