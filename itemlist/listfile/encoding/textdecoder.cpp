#include "listfile/encoding/textdecoder.h"

#include "listfile/encoding/codepage.h"
#include "storage/utf8.h"

void TextDecoder::decode(QByteArrayView bytes, QByteArray &out)
{
    switch (m_encoding.form()) {
    case TextEncoding::Form::Utf8:
    case TextEncoding::Form::Utf8WithMark:
        out.append(bytes);
        return;
    case TextEncoding::Form::CodePage:
        // What the code page does not define is left out.
        (void)CodePage::of(m_encoding.codePageKey()).decode(bytes, out);
        return;
    case TextEncoding::Form::Utf16LE:
    case TextEncoding::Form::Utf16BE:
        decodeUtf16(bytes, out, false);
        return;
    }
}

void TextDecoder::decodeUtf16(QByteArrayView bytes, QByteArray &out, bool last)
{
    const bool bigEndian = m_encoding == TextEncoding::Utf16BE;
    QByteArray joined;
    if (!m_pending.isEmpty()) {
        joined = m_pending + bytes.toByteArray();
        bytes = joined;
        m_pending.clear();
    }
    const auto unitAt = [&](qsizetype index) {
        const auto first = quint8(bytes[index]);
        const auto second = quint8(bytes[index + 1]);
        return char16_t(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    out.reserve(out.size() + bytes.size() * 3 / 2);
    qsizetype index = 0;
    for (; index + 1 < bytes.size(); index += 2) {
        const char16_t unit = unitAt(index);
        if (QChar::isHighSurrogate(unit)) {
            if (index + 3 >= bytes.size() && !last)
                break; // its partner may come with the next piece
            const char16_t next = index + 3 < bytes.size() ? unitAt(index + 2) : 0;
            if (QChar::isLowSurrogate(next)) {
                appendUtf8(QChar::surrogateToUcs4(unit, next), out);
                index += 2;
                continue;
            }
        }
        appendUtf8(unit, out); // a lone surrogate too, in its three-byte form
    }
    m_pending = bytes.sliced(index).toByteArray();
}

void TextDecoder::finish(QByteArray &out)
{
    if (m_pending.size() >= 2)
        decodeUtf16({}, out, true);
}
