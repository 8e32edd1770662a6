#pragma once

#include "textencoding.h"

#include <QByteArray>

#include <optional>

// Which text encoding a list file uses. A byte-order mark selects UTF-16; a file without one
// is UTF-8 when all of it is valid UTF-8, and Windows-1252 otherwise, so that no byte ever
// turns into a replacement character. A UTF-8 mark counts only when the rest is valid UTF-8
// too; otherwise its three bytes are Windows-1252 text like the rest.
class EncodingDetector
{
public:
    // Looks at the first bytes of the file; returns how many bytes of byte-order mark to skip
    // before feeding.
    qsizetype takeStart(QByteArrayView start);
    // Feeds the next bytes after the mark. Returns true once the encoding is decided.
    bool feed(QByteArrayView bytes);
    // Ends the file: decides the encoding if feeding has not.
    void finish();
    // Decides the encoding of a file that was checked for UTF-8 by other means.
    void decide(bool validUtf8);

    // Set once decided.
    [[nodiscard]] std::optional<TextEncoding> encoding() const { return m_encoding; }
    // Where the text starts, past the byte-order mark, once decided.
    [[nodiscard]] qsizetype textStart() const { return byteOrderMark(*m_encoding).size(); }

private:
    std::optional<TextEncoding> m_encoding;
    bool m_utf8Mark = false;
    QByteArray m_partial; // an unfinished UTF-8 sequence at the end of the last piece
};
