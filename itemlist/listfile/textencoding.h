#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// The text encodings of list files. A file is saved in the encoding it was read in, so that
// other programs that read it keep seeing the same text.
enum class TextEncoding { Utf8, Utf8WithMark, Utf16LE, Utf16BE, Windows1252 };

[[nodiscard]] constexpr bool isUtf8(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8WithMark;
}
[[nodiscard]] constexpr bool isUtf16(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE;
}

// The encoding's usual name: "utf-8", "utf-8-bom", "utf-16le", "utf-16be", "windows-1252".
[[nodiscard]] QString nameOf(TextEncoding encoding);
// The usual names of all encodings, for messages: "utf-8, utf-8-bom, ... or windows-1252".
[[nodiscard]] QString namesOfEncodings();
// The encoding a name stands for, ignoring case; common aliases ("utf8", "cp1252") included.
[[nodiscard]] std::optional<TextEncoding> textEncodingNamed(QStringView name);

// The bytes a file in encoding starts with: its byte-order mark, if it has one.
[[nodiscard]] QByteArrayView byteOrderMark(TextEncoding encoding);
