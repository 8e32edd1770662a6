#include "listfile/encoding/textencoder.h"

#include "listfile/encoding/codepage.h"
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
} // namespace

bool appendEncoded(QByteArrayView text, TextEncoding encoding, std::string &out)
{
    switch (encoding.form()) {
    case TextEncoding::Form::Utf8:
    case TextEncoding::Form::Utf8WithMark:
        out.append(text.data(), size_t(text.size()));
        return true;
    case TextEncoding::Form::CodePage:
        return CodePage::of(encoding.codePageKey()).encode(text, out);
    case TextEncoding::Form::Utf16LE:
    case TextEncoding::Form::Utf16BE: {
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
    switch (encoding.form()) {
    case TextEncoding::Form::Utf16LE:
    case TextEncoding::Form::Utf16BE:
        return true;
    case TextEncoding::Form::Utf8:
    case TextEncoding::Form::Utf8WithMark:
        return !holdsLoneSurrogate(text); // the only WTF-8 that UTF-8 is not
    case TextEncoding::Form::CodePage:
        return CodePage::of(encoding.codePageKey()).holds(text);
    }
    return false;
}
