#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstring>
#include <optional>

// The text encoding of a list file: UTF-8, with or without its byte-order mark; UTF-16 of
// either byte order, with its mark; or a code page that ICU converts and that keeps ASCII as
// it is (windows-1251, shift_jis, iso-8859-2, koi8-r, ...). A file is saved in the encoding it
// was read in, so that other programs that read it keep seeing the same text.
class TextEncoding
{
public:
    enum class Form { Utf8, Utf8WithMark, Utf16LE, Utf16BE, CodePage };

    static const TextEncoding Utf8;
    static const TextEncoding Utf8WithMark;
    static const TextEncoding Utf16LE;
    static const TextEncoding Utf16BE;
    static const TextEncoding Windows1252;

    constexpr TextEncoding() = default; // UTF-8

    // The code page that name stands for in ICU, ignoring case, when it is one that a list
    // file can be in: one that keeps ASCII as it is, without shifts between states.
    [[nodiscard]] static std::optional<TextEncoding> codePageNamed(QByteArrayView name);

    [[nodiscard]] constexpr Form form() const { return m_form; }
    // The code page's key for CodePage::of(): "windows-1251" for the Windows code pages,
    // else ICU's own name for it.
    [[nodiscard]] constexpr const char *codePageKey() const { return m_codePage; }

    [[nodiscard]] bool operator==(const TextEncoding &other) const
    {
        return m_form == other.m_form &&
               (m_form != Form::CodePage || std::strcmp(m_codePage, other.m_codePage) == 0);
    }

private:
    constexpr TextEncoding(Form form, const char *codePage = "")
        : m_form(form), m_codePage(codePage)
    {
    }

    Form m_form = Form::Utf8;
    const char *m_codePage = ""; // a key that lives as long as the program
};

inline constexpr TextEncoding TextEncoding::Utf8{Form::Utf8};
inline constexpr TextEncoding TextEncoding::Utf8WithMark{Form::Utf8WithMark};
inline constexpr TextEncoding TextEncoding::Utf16LE{Form::Utf16LE};
inline constexpr TextEncoding TextEncoding::Utf16BE{Form::Utf16BE};
inline constexpr TextEncoding TextEncoding::Windows1252{Form::CodePage, "windows-1252"};

[[nodiscard]] constexpr bool isUtf8(TextEncoding encoding)
{
    return encoding.form() == TextEncoding::Form::Utf8 ||
           encoding.form() == TextEncoding::Form::Utf8WithMark;
}
[[nodiscard]] constexpr bool isUtf16(TextEncoding encoding)
{
    return encoding.form() == TextEncoding::Form::Utf16LE ||
           encoding.form() == TextEncoding::Form::Utf16BE;
}
[[nodiscard]] constexpr bool isCodePage(TextEncoding encoding)
{
    return encoding.form() == TextEncoding::Form::CodePage;
}

// The encoding's usual name: "utf-8", "utf-8-bom", "utf-16le", "utf-16be", "windows-1251",
// "iso-8859-2", ...
[[nodiscard]] QString nameOf(TextEncoding encoding);
// What the names of encodings look like, for messages and help: "utf-8, utf-8-bom, ...".
[[nodiscard]] QString namesOfEncodings();
// The encoding a name stands for, ignoring case; common aliases ("utf8", "cp1251", "sjis")
// included.
[[nodiscard]] std::optional<TextEncoding> textEncodingNamed(QStringView name);

// The bytes a file in encoding starts with: its byte-order mark, if it has one.
[[nodiscard]] QByteArrayView byteOrderMark(TextEncoding encoding);
