#pragma once

// What listsort says when it cannot do something.

#include <QString>

// How messages name what listsort reads or writes: a file by its name in quotes, any bytes of
// it that do not decode as octal escapes ('legacy\350name.lst'); standard input and output
// by those words.
[[nodiscard]] QString quotedName(const QString &path);
[[nodiscard]] QString inputName(const QString &path);
inline const QString standardOutputName = QStringLiteral("standard output");

// Says that listsort cannot do what to the file that name names, and why; returns the
// failure status.
int complain(const char *what, const QString &name, const QString &reason);
