#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <string>
#include <vector>

struct UConverter;
using UConverterHandle = UConverter *;

// A code page as ICU converts it, ready for the reader and the writer: one of one or two
// bytes a character, all in the Basic Multilingual Plane, has tables both ways, made once
// from ICU's, which convert nearly as fast as copying; any other goes through ICU's
// converters, one for each thread that uses them.
//
// Only text that reads and writes back unchanged counts as the code page's: a byte the code
// page leaves undefined, a broken sequence of bytes, or one of the two sequences that some
// double-byte code pages read as one character, is not. Windows-1252 reads every byte.
class CodePage
{
public:
    // The code page of key (see TextEncoding::codePageKey()), one that keyNamed() gave; made
    // once, at its first use, and kept.
    [[nodiscard]] static const CodePage &of(const char *key);
    // The key of the code page that name stands for (see TextEncoding::codePageKey()); null
    // when ICU knows no such code page, or when a list file cannot be in it: text in it would
    // not keep ASCII as it is, or could hold a line end, a comma, a quote or a blank inside
    // a character.
    [[nodiscard]] static const char *keyNamed(QByteArrayView name);

    // Its usual name: "windows-1251", "iso-8859-2", "koi8-r".
    [[nodiscard]] const QString &name() const { return m_name; }

    // Appends the UTF-8 of bytes, whole characters, to out. Returns false, having appended
    // part, when bytes hold text that is not the code page's.
    [[nodiscard]] bool decode(QByteArrayView bytes, QByteArray &out) const;
    // Appends utf8 in the code page to out; false, having appended part, when the code page
    // cannot hold one of its characters.
    [[nodiscard]] bool encode(QByteArrayView utf8, std::string &out) const;
    // Whether the code page holds every character of utf8.
    [[nodiscard]] bool holds(QByteArrayView utf8) const;

private:
    explicit CodePage(const char *key);
    void makeSingleByteTables(UConverterHandle converter);
    // False when a character of two bytes is not one of the Basic Multilingual Plane, which
    // the tables do not hold.
    bool makeDoubleByteTables(UConverterHandle converter);
    // Whether the characters of bytes that ICU read as utf8 all write back as the same bytes.
    [[nodiscard]] bool writesBack(QByteArrayView bytes, QByteArrayView utf8) const;

    enum class Kind { SingleByte, DoubleByte, ThroughIcu };

    const char *m_key;
    QString m_name;
    Kind m_kind = Kind::ThroughIcu;
    // One byte a character: each byte's UTF-8 and its length, 0 when the byte is not the
    // code page's.
    std::array<std::array<char, 4>, 256> m_utf8{};
    std::array<quint8, 256> m_utf8Length{};
    // One or two bytes a character: which bytes begin a character of two, the character of
    // each byte or pair (0 when it is not the code page's), and the bytes of each character
    // (0 when it has none).
    std::array<bool, 256> m_leads{};
    std::array<char16_t, 256> m_singles{};
    std::vector<char16_t> m_pairs;
    // The bytes of each character of the Basic Multilingual Plane: one byte below 0x100, two
    // (lead and trail) above; 0 when it has none.
    std::vector<quint16> m_bytes;
};
