#include "listfile/format/lineends.h"

qsizetype wholeLines(QByteArrayView text)
{
    for (qsizetype index = text.size() - 1; index >= 0; --index) {
        if (text[index] == '\n' || (text[index] == '\r' && index + 1 < text.size()))
            return index + 1;
    }
    return 0;
}

qsizetype lineEndAfter(QByteArrayView text, qsizetype from)
{
    for (qsizetype index = from; index < text.size(); ++index) {
        if (text[index] == '\n')
            return index + 1;
        if (text[index] == '\r') {
            if (index + 1 == text.size())
                return -1;
            return text[index + 1] == '\n' ? index + 2 : index + 1;
        }
    }
    return -1;
}
