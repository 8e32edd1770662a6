#pragma once

#include "listfile/textencoding.h"

#include <QByteArrayView>

#include <optional>

// The code page that start, the first bytes of a file that is not UTF-8, is in, when a
// charset detector is sure of it; empty when it is not.
[[nodiscard]] std::optional<TextEncoding> detectedCodePage(QByteArrayView start);
