#include "textcodec.h"

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

void appendUtf8(char32_t c, QByteArray &out)
{
    if (c < 0x80) {
        out.append(char(c));
        return;
    }
    if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
    }
    out.append(char(0x80 | (c & 0x3F)));
}

void appendUnit(char16_t unit, bool bigEndian, std::string &out)
{
    const char high = char(unit >> 8);
    const char low = char(unit & 0xFF);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
}

// Calls visit(c) for each character of UTF-8 or WTF-8 text.
template <typename Visit> void forEachCharacter(QByteArrayView text, Visit visit)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(text.data());
    const qsizetype size = text.size();
    for (qsizetype index = 0; index < size;) {
        const quint8 lead = bytes[index];
        char32_t c;
        if (lead < 0x80) {
            c = lead;
            index += 1;
        } else if (lead < 0xE0) {
            c = (char32_t(lead & 0x1F) << 6) | (bytes[index + 1] & 0x3F);
            index += 2;
        } else if (lead < 0xF0) {
            c = (char32_t(lead & 0x0F) << 12) | (char32_t(bytes[index + 1] & 0x3F) << 6) |
                (bytes[index + 2] & 0x3F);
            index += 3;
        } else {
            c = (char32_t(lead & 0x07) << 18) | (char32_t(bytes[index + 1] & 0x3F) << 12) |
                (char32_t(bytes[index + 2] & 0x3F) << 6) | (bytes[index + 3] & 0x3F);
            index += 4;
        }
        if (!visit(c))
            return;
    }
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
    case TextEncoding::Utf8WithMark: {
        // Only a lone surrogate's three-byte form is not UTF-8.
        for (qsizetype index = 0; index + 1 < text.size(); ++index) {
            if (quint8(text[index]) == 0xED && quint8(text[index + 1]) >= 0xA0)
                return false;
        }
        return true;
    }
    case TextEncoding::Windows1252: {
        std::string scratch;
        return appendEncoded(text, encoding, scratch);
    }
    }
    return false;
}
