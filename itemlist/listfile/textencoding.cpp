#include "listfile/textencoding.h"

#include <array>

namespace
{
struct Alias {
    QStringView name;
    TextEncoding encoding;
};

// The first name of each encoding is its own; the rest are aliases.
constexpr std::array aliases{
    Alias{u"utf-8", TextEncoding::Utf8},
    Alias{u"utf8", TextEncoding::Utf8},
    Alias{u"utf-8-bom", TextEncoding::Utf8WithMark},
    Alias{u"utf8-bom", TextEncoding::Utf8WithMark},
    Alias{u"utf-8-sig", TextEncoding::Utf8WithMark},
    Alias{u"utf-16le", TextEncoding::Utf16LE},
    Alias{u"utf16le", TextEncoding::Utf16LE},
    Alias{u"utf-16be", TextEncoding::Utf16BE},
    Alias{u"utf16be", TextEncoding::Utf16BE},
    Alias{u"windows-1252", TextEncoding::Windows1252},
    Alias{u"cp1252", TextEncoding::Windows1252},
    Alias{u"windows1252", TextEncoding::Windows1252},
};

} // namespace

QString nameOf(TextEncoding encoding)
{
    for (const Alias &alias : aliases) {
        if (alias.encoding == encoding)
            return alias.name.toString();
    }
    Q_UNREACHABLE();
}

QString namesOfEncodings()
{
    QStringList names;
    for (const Alias &alias : aliases) {
        if (!names.contains(nameOf(alias.encoding)))
            names.append(nameOf(alias.encoding));
    }
    const QString last = names.takeLast();
    return QStringLiteral("%1 or %2").arg(names.join(u", "), last);
}

std::optional<TextEncoding> textEncodingNamed(QStringView name)
{
    for (const Alias &alias : aliases) {
        if (name.compare(alias.name, Qt::CaseInsensitive) == 0)
            return alias.encoding;
    }
    return std::nullopt;
}

QByteArrayView byteOrderMark(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8WithMark:
        return "\xEF\xBB\xBF";
    case TextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TextEncoding::Utf16BE:
        return "\xFE\xFF";
    case TextEncoding::Utf8:
    case TextEncoding::Windows1252:
        break;
    }
    return {};
}
