#pragma once

#include "listfile/textencoding.h"

#include <QByteArrayView>

#include <optional>

// Which text encoding a list file uses. A byte-order mark selects UTF-16; a file without one
// is UTF-8 when all of it is valid UTF-8, and Windows-1252 otherwise, so that no byte ever
// turns into a replacement character. A UTF-8 mark counts only when the rest is valid UTF-8
// too; otherwise its three bytes are Windows-1252 text like the rest.
class EncodingDetector
{
public:
    // Looks at the first bytes of the file; returns how many bytes of byte-order mark to skip
    // before checking the rest for UTF-8. A UTF-16 mark decides at once.
    qsizetype takeStart(QByteArrayView start);
    // Decides, once the rest has been checked.
    void decide(bool validUtf8);

    // Set once decided.
    [[nodiscard]] std::optional<TextEncoding> encoding() const { return m_encoding; }
    // The encoding until the rest of the file shows otherwise: UTF-8 while it is checked.
    [[nodiscard]] TextEncoding likelyEncoding() const
    {
        return m_encoding ? *m_encoding
                          : (m_utf8Mark ? TextEncoding::Utf8WithMark : TextEncoding::Utf8);
    }
    // Where the text starts, past the byte-order mark, once decided.
    [[nodiscard]] qsizetype textStart() const { return byteOrderMark(*m_encoding).size(); }

private:
    std::optional<TextEncoding> m_encoding;
    bool m_utf8Mark = false;
};
