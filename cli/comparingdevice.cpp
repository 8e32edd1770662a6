#include "comparingdevice.h"

#include "listfile/textdecoder.h"
#include "listfile/textencoder.h"
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
    std::string encodedLineEnd;
    appendEncoded("\n", m_encoding, encodedLineEnd);
    const QByteArrayView lineEnd(encodedLineEnd.data(), qsizetype(encodedLineEnd.size()));
    // Byte-order marks are whole units, so line ends start at multiples of the unit.
    const auto unit = qint64(lineEnd.size());
    const auto isLineEnd = [&](QByteArrayView bytes, qint64 at) {
        return bytes.sliced(at, unit) == lineEnd;
    };
    const qint64 markLength = byteOrderMark(m_encoding).size();
    m_original.seek(markLength);
    Line line{1, {}};
    qint64 lineStart = markLength;
    for (qint64 offset = markLength; offset + unit <= m_differsAt;) {
        const QByteArray block = m_original.read(std::min<qint64>(1 << 20, m_differsAt - offset));
        const qint64 whole = block.size() - block.size() % unit;
        for (qint64 at = 0; at < whole; at += unit) {
            if (isLineEnd(block, at)) {
                ++line.number;
                lineStart = offset + at + unit;
            }
        }
        offset += whole;
        m_original.seek(offset);
    }

    // The line, up to a few hundred bytes of it, for a message.
    constexpr qint64 shown = 300;
    m_original.seek(lineStart);
    const QByteArray text = m_original.read(shown - shown % unit);
    qint64 length = text.size() - text.size() % unit;
    for (qint64 at = 0; at < length; at += unit) {
        if (isLineEnd(text, at))
            length = at;
    }
    TextDecoder decoder(m_encoding);
    QByteArray utf8;
    decoder.decode(QByteArrayView(text).first(length), utf8);
    decoder.finish(utf8);
    appendUtf16(utf8, line.text);
    if (line.text.endsWith(u'\r'))
        line.text.chop(1);
    return line;
}
