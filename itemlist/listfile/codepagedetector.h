#pragma once

#include "listfile/textencoding.h"

#include <QByteArrayView>

#include <optional>

// How much of a file's start the detector looks at: past 8 KiB its answers no longer change.
inline constexpr qsizetype codePageDetectionBytes = 16 << 10;

// The Windows code page that start, the first bytes of a file that is not UTF-8, is in, when
// two charset detectors, ICU's and uchardet, together are sure of it; empty when they are not.
// The rule never names another code page for a Western European list in windows-1252, at
// the cost of leaving short Central European and Baltic lists to the user's locale.
[[nodiscard]] std::optional<TextEncoding> detectedCodePage(QByteArrayView start);
