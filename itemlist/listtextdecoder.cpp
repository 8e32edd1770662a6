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
    for (const TextEncoding utf16 : {TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        if (start.startsWith(byteOrderMark(utf16))) {
            m_encoding = utf16;
            return byteOrderMark(utf16).size();
        }
    }
    const QByteArrayView utf8Mark = byteOrderMark(TextEncoding::Utf8WithMark);
    m_utf8Mark = start.startsWith(utf8Mark);
    return m_utf8Mark ? utf8Mark.size() : 0;
}

bool EncodingDetector::feed(QByteArrayView bytes)
{
    if (m_encoding)
        return true;
    if (!m_partial.isEmpty()) {
        const qsizetype missing = sequenceLength(quint8(m_partial[0])) - m_partial.size();
        m_partial.append(bytes.first(std::min(missing, bytes.size())));
        bytes = bytes.sliced(std::min(missing, bytes.size()));
        if (m_partial.size() < sequenceLength(quint8(m_partial[0])))
            return false;
        if (!QByteArrayView(m_partial).isValidUtf8()) {
            m_encoding = TextEncoding::Windows1252;
            return true;
        }
        m_partial.clear();
    }
    const qsizetype complete = completeLength(bytes);
    if (!bytes.first(complete).isValidUtf8()) {
        m_encoding = TextEncoding::Windows1252;
        return true;
    }
    m_partial = bytes.sliced(complete).toByteArray();
    return false;
}

void EncodingDetector::finish()
{
    if (!m_encoding)
        decide(m_partial.isEmpty());
}

void EncodingDetector::decide(bool validUtf8)
{
    if (!validUtf8)
        m_encoding = TextEncoding::Windows1252;
    else
        m_encoding = m_utf8Mark ? TextEncoding::Utf8WithMark : TextEncoding::Utf8;
}
