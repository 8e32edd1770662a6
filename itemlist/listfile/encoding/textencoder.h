#pragma once

#include "listfile/encoding/textencoding.h"

#include <QByteArrayView>

#include <string>

// Appends text, UTF-8 or WTF-8, in encoding to out. Returns false, having appended only part,
// when encoding cannot hold one of its characters.
bool appendEncoded(QByteArrayView text, TextEncoding encoding, std::string &out);
// Whether encoding can hold every character of text.
[[nodiscard]] bool canEncode(QByteArrayView text, TextEncoding encoding);
