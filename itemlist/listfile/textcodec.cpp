#include "listfile/textcodec.h"

#include "storage/utf8.h"

#include <QStringDecoder>

#include <array>

namespace
{
// Windows-1252 as ICU has it: every byte maps to a character, the five that Windows-1252
// leaves unassigned to the C1 controls of the same value, so every byte reads and writes back.
class Windows1252
{
public:
    static const Windows1252 &instance()
    {
        static const Windows1252 table;
        return table;
    }
    [[nodiscard]] QByteArrayView utf8Of(quint8 byte) const { return m_utf8[byte]; }
    // The byte for a character, or -1.
    [[nodiscard]] int byteOf(char32_t c) const { return c < m_bytes.size() ? m_bytes[c] : -1; }

private:
    Windows1252()
    {
        m_bytes.fill(-1);
        QStringDecoder decoder("windows-1252");
        // Qt without ICU has no Windows-1252; Latin-1 then still maps every byte.
        if (!decoder.isValid())
            decoder = QStringDecoder(QStringConverter::Latin1);
        for (int byte = 0; byte < 256; ++byte) {
            const char raw = char(byte);
            const QString c = decoder.decode(QByteArrayView(&raw, 1));
            m_utf8[byte] = c.toUtf8();
            if (c.front().unicode() < m_bytes.size())
                m_bytes[c.front().unicode()] = qint16(byte);
        }
    }

    std::array<QByteArray, 256> m_utf8;
    std::array<qint16, 0x2200> m_bytes; // U+2122 TRADE MARK SIGN is its highest character
};

void appendUnit(char16_t unit, bool bigEndian, std::string &out)
{
    const char high = char(unit >> 8);
    const char low = char(unit & 0xFF);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
}

bool isAscii(QByteArrayView text)
{
    for (const char byte : text) {
        if (quint8(byte) >= 0x80)
            return false;
    }
    return true;
}
} // namespace

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

bool appendEncoded(QByteArrayView text, TextEncoding encoding, std::string &out)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8WithMark:
        out.append(text.data(), size_t(text.size()));
        return true;
    case TextEncoding::Windows1252: {
        if (isAscii(text)) {
            out.append(text.data(), size_t(text.size()));
            return true;
        }
        const Windows1252 &table = Windows1252::instance();
        bool ok = true;
        forEachCharacter(text, [&](char32_t c) {
            const int byte = table.byteOf(c);
            ok = byte >= 0;
            if (ok)
                out.push_back(char(byte));
            return ok;
        });
        return ok;
    }
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool bigEndian = encoding == TextEncoding::Utf16BE;
        out.reserve(out.size() + size_t(text.size()) * 2);
        forEachCharacter(text, [&](char32_t c) {
            if (c >= 0x10000) {
                appendUnit(QChar::highSurrogate(c), bigEndian, out);
                appendUnit(QChar::lowSurrogate(c), bigEndian, out);
            } else {
                appendUnit(char16_t(c), bigEndian, out);
            }
            return true;
        });
        return true;
    }
    }
    return false;
}

bool canEncode(QByteArrayView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return true;
    case TextEncoding::Utf8:
    case TextEncoding::Utf8WithMark:
        return !holdsLoneSurrogate(text); // the only WTF-8 that UTF-8 is not
    case TextEncoding::Windows1252: {
        std::string scratch;
        return appendEncoded(text, encoding, scratch);
    }
    }
    return false;
}
