#include "listfile/encodingdetector.h"

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

void EncodingDetector::decide(bool validUtf8)
{
    if (!validUtf8)
        m_encoding = TextEncoding::Windows1252;
    else
        m_encoding = m_utf8Mark ? TextEncoding::Utf8WithMark : TextEncoding::Utf8;
}
