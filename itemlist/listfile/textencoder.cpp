#include "listfile/textencoder.h"

#include "listfile/windows1252.h"
#include "storage/utf8.h"

namespace
{
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
