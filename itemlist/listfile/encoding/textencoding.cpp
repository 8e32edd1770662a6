#include "listfile/encoding/textencoding.h"

#include "listfile/encoding/codepage.h"

#include <array>

namespace
{
struct Alias {
    QStringView name;
    TextEncoding encoding;
};

// The encodings of Unicode that list files may be in; the first name of each is its own.
constexpr std::array unicodeNames{
    Alias{u"utf-8", TextEncoding::Utf8},
    Alias{u"utf8", TextEncoding::Utf8},
    Alias{u"utf-8-bom", TextEncoding::Utf8WithMark},
    Alias{u"utf8-bom", TextEncoding::Utf8WithMark},
    Alias{u"utf-8-sig", TextEncoding::Utf8WithMark},
    Alias{u"utf-16le", TextEncoding::Utf16LE},
    Alias{u"utf16le", TextEncoding::Utf16LE},
    Alias{u"utf-16be", TextEncoding::Utf16BE},
    Alias{u"utf16be", TextEncoding::Utf16BE},
};
} // namespace

std::optional<TextEncoding> TextEncoding::codePageNamed(QByteArrayView name)
{
    const char *key = CodePage::keyNamed(name);
    if (!key)
        return std::nullopt;
    return TextEncoding(Form::CodePage, key);
}

QString nameOf(TextEncoding encoding)
{
    if (isCodePage(encoding))
        return CodePage::of(encoding.codePageKey()).name();
    for (const Alias &alias : unicodeNames) {
        if (alias.encoding == encoding)
            return alias.name.toString();
    }
    Q_UNREACHABLE();
}

QString namesOfEncodings()
{
    return QStringLiteral("utf-8, utf-8-bom, utf-16le, utf-16be, or a code page that keeps "
                          "ASCII as it is (windows-1252, windows-1251, windows-932, "
                          "iso-8859-2, koi8-r, ...)");
}

std::optional<TextEncoding> textEncodingNamed(QStringView name)
{
    for (const Alias &alias : unicodeNames) {
        if (name.compare(alias.name, Qt::CaseInsensitive) == 0)
            return alias.encoding;
    }
    // Other names of Unicode's encodings are no code page either.
    if (name.startsWith(u"utf", Qt::CaseInsensitive) ||
        name.startsWith(u"ucs", Qt::CaseInsensitive))
        return std::nullopt;
    return TextEncoding::codePageNamed(name.toLatin1());
}

QByteArrayView byteOrderMark(TextEncoding encoding)
{
    switch (encoding.form()) {
    case TextEncoding::Form::Utf8WithMark:
        return "\xEF\xBB\xBF";
    case TextEncoding::Form::Utf16LE:
        return "\xFF\xFE";
    case TextEncoding::Form::Utf16BE:
        return "\xFE\xFF";
    case TextEncoding::Form::Utf8:
    case TextEncoding::Form::CodePage:
        break;
    }
    return {};
}
