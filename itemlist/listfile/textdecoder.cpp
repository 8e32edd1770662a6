#include "listfile/textdecoder.h"

#include "listfile/windows1252.h"
#include "storage/utf8.h"

void TextDecoder::decode(QByteArrayView bytes, QByteArray &out)
{
    switch (m_encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8WithMark:
        out.append(bytes);
        return;
    case TextEncoding::Windows1252: {
        const Windows1252 &table = Windows1252::instance();
        out.reserve(out.size() + bytes.size());
        for (const char byte : bytes) {
            if (quint8(byte) < 0x80)
                out.append(byte);
            else
                out.append(table.utf8Of(quint8(byte)));
        }
        return;
    }
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
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
