#pragma once

#include "listfile/encoding/textencoding.h"

#include <QByteArrayView>

// The code page that Windows gives programs that are not Unicode for the language of locale,
// a POSIX name such as pl_PL.UTF-8 or sr_RS@latin: windows-1250 for Polish, windows-1251 for
// Russian, windows-932 for Japanese, and so on; windows-1252 for C, POSIX, English and the
// other Western languages. Files written on Windows in that language are in it.
[[nodiscard]] TextEncoding windowsCodePageOf(QByteArrayView locale);
// The same for the environment's character-type locale: LC_ALL, else LC_CTYPE, else LANG,
// the first set and not empty.
[[nodiscard]] TextEncoding windowsCodePageFromEnvironment();
