#pragma once

#include <QByteArrayView>

#include <unicode/ucnv.h>

#include <memory>
#include <string>

// ICU's converters as the code pages use them.

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

// A converter that stops at text that is not the code page's, rather than put in a
// substitute; null when ICU knows no code page by that name.
[[nodiscard]] Converter openConverter(const char *name);
// This thread's converter for the code page that ICU calls name, opened at its first use.
[[nodiscard]] UConverter *threadConverter(const char *name);
// ICU's own name for the code page that name stands for; null when it knows none.
[[nodiscard]] const char *icuName(const char *name);
// The characters of bytes, as converter reads them; empty when it cannot.
[[nodiscard]] std::u16string toUtf16(UConverter *converter, QByteArrayView bytes);
