#pragma once

#include <QByteArray>
#include <QStringDecoder>

// Which text encoding a list file uses. A byte-order mark selects UTF-8 or UTF-16; a file
// without one is UTF-8 when all of it is valid UTF-8, and Windows-1252 otherwise, so that
// no byte ever turns into a replacement character.
class EncodingDetector
{
public:
    enum class Encoding { Undecided, Utf8, Utf16LE, Utf16BE, Windows1252 };

    // Looks at the first bytes of the file; returns how many bytes of byte-order mark to skip.
    qsizetype takeStart(QByteArrayView start);
    // Feeds the next bytes after the mark. Returns true once the encoding is decided.
    bool feed(QByteArrayView bytes);
    // Ends the file: decides the encoding if feeding has not.
    void finish();

    [[nodiscard]] Encoding encoding() const { return m_encoding; }

private:
    Encoding m_encoding = Encoding::Undecided;
    QByteArray m_partial; // an unfinished UTF-8 sequence at the end of the last piece
};

// A decoder for text in encoding.
[[nodiscard]] QStringDecoder decoderFor(EncodingDetector::Encoding encoding);
