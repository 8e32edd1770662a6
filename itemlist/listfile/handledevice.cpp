#include "listfile/handledevice.h"

#include "platform.h"

HandleDevice::HandleDevice(int handle) : m_handle(handle)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 HandleDevice::writeData(const char *data, qint64 length)
{
    QString reason;
    if (!platform::writeAll(m_handle, QByteArrayView(data, length), reason)) {
        setErrorString(reason);
        return -1;
    }
    return length;
}
