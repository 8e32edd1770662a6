#include "comparingdevice.h"

#include "listfile/encoding/textdecoder.h"
#include "listfile/encoding/textencoder.h"
#include "storage/item.h"

#include <algorithm>

ComparingDevice::ComparingDevice(QIODevice &original, TextEncoding encoding)
    : m_original(original), m_encoding(encoding)
{
    open(QIODevice::WriteOnly);
}

qint64 ComparingDevice::writeData(const char *data, qint64 length)
{
    if (m_differsAt < 0) {
        const QByteArray original = m_original.read(length);
        const qint64 same =
            std::mismatch(original.begin(), original.end(), data, data + length).first -
            original.begin();
        m_compared += same;
        if (same < length)
            m_differsAt = m_compared;
    }
    return length;
}

bool ComparingDevice::finish()
{
    if (m_differsAt < 0 && !m_original.atEnd())
        m_differsAt = m_compared;
    return m_differsAt < 0;
}

ComparingDevice::Line ComparingDevice::differingLine()
{
    // Line ends are counted as the reader counts them: CR LF, LF or CR, each in the units of
    // the encoding, which byte-order marks are whole ones of.
    std::string encoded;
    appendEncoded("\r\n", m_encoding, encoded);
    const auto unit = qint64(encoded.size() / 2);
    const QByteArrayView cr(encoded.data(), unit);
    const QByteArrayView lf(encoded.data() + unit, unit);
    const qint64 markLength = byteOrderMark(m_encoding).size();
    m_original.seek(markLength);
    Line line{1, {}};
    qint64 lineStart = markLength;
    qint64 lastLineStart = markLength;
    bool afterCr = false;
    for (qint64 offset = markLength; offset + unit <= m_differsAt;) {
        const QByteArray block = m_original.read(std::min<qint64>(1 << 20, m_differsAt - offset));
        const qint64 whole = block.size() - block.size() % unit;
        if (whole == 0)
            break;
        for (qint64 at = 0; at < whole; at += unit) {
            const QByteArrayView character = QByteArrayView(block).sliced(at, unit);
            const bool isCr = character == cr;
            if (isCr || (character == lf && !afterCr)) {
                ++line.number;
                lastLineStart = std::exchange(lineStart, offset + at + unit);
            } else if (character == lf) {
                lineStart = offset + at + unit;
            }
            afterCr = isCr;
        }
        offset += whole;
        m_original.seek(offset);
    }
    // Right after a CR the difference is in that line's end: CR where a save writes CR LF.
    if (afterCr) {
        --line.number;
        lineStart = lastLineStart;
    }

    // The start of the line, enough of it for a message.
    constexpr qint64 shownCharacters = 80;
    m_original.seek(lineStart);
    const QByteArray text = m_original.read(4 * shownCharacters * unit);
    qint64 length = text.size() - text.size() % unit;
    for (qint64 at = 0; at < length; at += unit) {
        const QByteArrayView character = QByteArrayView(text).sliced(at, unit);
        if (character == cr || character == lf)
            length = at;
    }
    TextDecoder decoder(m_encoding);
    QByteArray utf8;
    decoder.decode(QByteArrayView(text).first(length), utf8);
    appendUtf16(utf8, line.text);
    if (line.text.size() > shownCharacters) {
        qsizetype cut = shownCharacters;
        if (line.text[cut].isLowSurrogate())
            --cut;
        line.text = line.text.first(cut) + QChar(0x2026);
    }
    return line;
}
