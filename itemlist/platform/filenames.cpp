#include "platform.h"

#include <QFile>

namespace
{
constexpr char16_t firstEscape = 0xDC80; // the lone surrogate that stands for byte 0x80

bool isEscapedByte(QStringView name, qsizetype index)
{
    const QChar c = name[index];
    return c.unicode() >= firstEscape && c.unicode() <= 0xDCFF &&
           (index == 0 || !name[index - 1].isHighSurrogate());
}

// The length of the valid UTF-8 sequence at the start of bytes, 0 when there is none.
qsizetype utf8SequenceLength(QByteArrayView bytes)
{
    const auto lead = quint8(bytes[0]);
    const qsizetype length = lead < 0x80   ? 1
                             : lead < 0xC2 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 0;
    if (length == 0 || length > bytes.size())
        return 0;
    return QByteArrayView(bytes.first(length)).isValidUtf8() ? length : 0;
}
} // namespace

namespace platform
{
QString fileNameFromNative(const QByteArray &bytes)
{
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) == bytes)
        return name;
    name.clear();
    for (qsizetype index = 0; index < bytes.size();) {
        const qsizetype length = utf8SequenceLength(QByteArrayView(bytes).sliced(index));
        if (length == 0) {
            name.append(QChar(char16_t(firstEscape + quint8(bytes[index]) - 0x80)));
            ++index;
        } else {
            name.append(QString::fromUtf8(bytes.sliced(index, length)));
            index += length;
        }
    }
    return name;
}

QByteArray nativeFileName(const QString &name)
{
    qsizetype index = 0;
    while (index < name.size() && !isEscapedByte(name, index))
        ++index;
    if (index == name.size())
        return QFile::encodeName(name);
    QByteArray bytes;
    for (qsizetype start = 0; start < name.size();) {
        qsizetype end = start;
        while (end < name.size() && !isEscapedByte(name, end))
            ++end;
        bytes += QStringView(name).sliced(start, end - start).toUtf8();
        if (end < name.size())
            bytes += char(name[end].unicode() - firstEscape + 0x80);
        start = end + 1;
    }
    return bytes;
}

QString shownFileName(const QString &name)
{
    QString shown;
    for (qsizetype index = 0; index < name.size(); ++index) {
        if (isEscapedByte(name, index))
            shown += u'\\' + QString::number(name[index].unicode() - firstEscape + 0x80, 8);
        else
            shown += name[index];
    }
    return shown;
}
} // namespace platform
