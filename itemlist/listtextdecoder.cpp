#include "listtextdecoder.h"

namespace
{
// How many bytes the UTF-8 sequence that starts with lead should have, or 0 for a byte
// that cannot start one.
int sequenceLength(quint8 lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 0;
}

// The length of bytes without a UTF-8 sequence that is cut off at its end.
qsizetype completeLength(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, bytes.size()); ++back) {
        const int length = sequenceLength(quint8(bytes[bytes.size() - back]));
        if (length != 0)
            return length > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}
} // namespace

qsizetype EncodingDetector::takeStart(QByteArrayView start)
{
    if (start.startsWith("\xEF\xBB\xBF"))
        return 3;
    if (start.startsWith("\xFF\xFE")) {
        m_encoding = Encoding::Utf16LE;
        return 2;
    }
    if (start.startsWith("\xFE\xFF")) {
        m_encoding = Encoding::Utf16BE;
        return 2;
    }
    return 0;
}

bool EncodingDetector::feed(QByteArrayView bytes)
{
    if (m_encoding != Encoding::Undecided)
        return true;
    if (!m_partial.isEmpty()) {
        const qsizetype missing = sequenceLength(quint8(m_partial[0])) - m_partial.size();
        m_partial.append(bytes.first(std::min(missing, bytes.size())));
        bytes = bytes.sliced(std::min(missing, bytes.size()));
        if (m_partial.size() < sequenceLength(quint8(m_partial[0])))
            return false;
        if (!QByteArrayView(m_partial).isValidUtf8()) {
            m_encoding = Encoding::Windows1252;
            return true;
        }
        m_partial.clear();
    }
    const qsizetype complete = completeLength(bytes);
    if (!bytes.first(complete).isValidUtf8()) {
        m_encoding = Encoding::Windows1252;
        return true;
    }
    m_partial = bytes.sliced(complete).toByteArray();
    return false;
}

void EncodingDetector::finish()
{
    if (m_encoding == Encoding::Undecided)
        m_encoding = m_partial.isEmpty() ? Encoding::Utf8 : Encoding::Windows1252;
}

QStringDecoder decoderFor(EncodingDetector::Encoding encoding)
{
    switch (encoding) {
    case EncodingDetector::Encoding::Utf16LE:
        return QStringDecoder(QStringConverter::Utf16LE);
    case EncodingDetector::Encoding::Utf16BE:
        return QStringDecoder(QStringConverter::Utf16BE);
    case EncodingDetector::Encoding::Windows1252: {
        QStringDecoder decoder("windows-1252");
        // Qt without ICU has no Windows-1252; Latin-1 then still maps every byte to a character.
        return decoder.isValid() ? std::move(decoder) : QStringDecoder(QStringConverter::Latin1);
    }
    case EncodingDetector::Encoding::Undecided:
    case EncodingDetector::Encoding::Utf8:
        break;
    }
    return QStringDecoder(QStringConverter::Utf8);
}
