#include "listfile/encoding/encodingdetector.h"

#include "listfile/encoding/codepagedetector.h"
#include "listfile/encoding/windowscodepage.h"

qsizetype EncodingDetector::takeStart(QByteArrayView start)
{
    for (const TextEncoding utf16 : {TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        if (start.startsWith(byteOrderMark(utf16))) {
            m_tried = utf16;
            m_encoding = utf16;
            return byteOrderMark(utf16).size();
        }
    }
    const QByteArrayView utf8Mark = byteOrderMark(TextEncoding::Utf8WithMark);
    if (start.startsWith(utf8Mark)) {
        m_tried = TextEncoding::Utf8WithMark;
        return utf8Mark.size();
    }
    m_tried = m_required.value_or(TextEncoding::Utf8);
    return 0;
}

void EncodingDetector::rejectTried(const std::function<QByteArray()> &textSample)
{
    Q_ASSERT(!isRequired());
    if (m_required) {
        // A UTF-8 mark that the rest of the file does not bear out is text, as without one.
        m_tried = *m_required;
    } else if (isUtf8(m_tried)) {
        m_tried = detectedCodePage(textSample()).value_or(windowsCodePageFromEnvironment());
    } else {
        m_tried = TextEncoding::Windows1252;
    }
    // Nothing is left to try after the required encoding, nor after Windows-1252, which reads
    // every byte.
    if (m_required || m_tried == TextEncoding::Windows1252)
        m_encoding = m_tried;
}
