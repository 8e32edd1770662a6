#pragma once

#include "listfile/encoding/textencoding.h"

#include <QByteArray>

// Converts the text of a list file in encoding to the UTF-8 that items are kept in. UTF-16
// may hold lone surrogates, which come out in their three-byte form (WTF-8). The text may
// arrive in pieces cut anywhere; for a code page, in whole characters.
class TextDecoder
{
public:
    explicit TextDecoder(TextEncoding encoding = TextEncoding::Utf8) : m_encoding(encoding) {}
    [[nodiscard]] TextEncoding encoding() const { return m_encoding; }

    void decode(QByteArrayView bytes, QByteArray &out);
    // Ends the text: a high surrogate still waiting for its partner is a lone one.
    void finish(QByteArray &out);
    // Whether the text ended inside a character: half of a UTF-16 unit. After finish().
    [[nodiscard]] bool endedInsideACharacter() const { return !m_pending.isEmpty(); }

private:
    void decodeUtf16(QByteArrayView bytes, QByteArray &out, bool last);

    TextEncoding m_encoding;
    QByteArray m_pending; // the start of a UTF-16 unit or surrogate pair cut off last time
};
