#pragma once

#include <QByteArrayView>

// Where lines end in text read so far: at LF, CR LF or a lone CR. A CR at the very end of the
// text read may be the first half of a CR LF whose LF has not come yet.

// The length of the whole lines at the start of text: up to its last line end, but not a CR
// at its very end.
[[nodiscard]] qsizetype wholeLines(QByteArrayView text);

// Where the first line end at or after from in text ends, or -1 when there is none yet (or
// only a CR at the very end of text).
[[nodiscard]] qsizetype lineEndAfter(QByteArrayView text, qsizetype from);
