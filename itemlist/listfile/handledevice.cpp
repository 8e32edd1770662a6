#include "listfile/handledevice.h"

HandleDevice::HandleDevice(platform::FileHandle handle, OpenMode mode, std::stop_token stop)
    : m_handle(std::move(handle)), m_stop(std::move(stop))
{
    open(mode | QIODevice::Unbuffered);
}

qint64 HandleDevice::readData(char *data, qint64 maxSize)
{
    QString reason;
    const qint64 length = m_handle.read(data, maxSize, m_stop, reason);
    if (length < 0) {
        m_failed = true;
        setErrorString(reason.isEmpty() ? QStringLiteral("stopped") : reason);
    }
    return length;
}

qint64 HandleDevice::writeData(const char *data, qint64 length)
{
    QString reason;
    if (!m_handle.writeAll(QByteArrayView(data, length), reason)) {
        setErrorString(reason);
        return -1;
    }
    if (m_written)
        m_written->add(QByteArrayView(data, length));
    return length;
}

std::unique_ptr<QFile> fileReading(platform::FileHandle handle, QString &reason)
{
    if (!handle.isOpen())
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(handle.get(), QIODevice::ReadOnly,
                    handle.isBorrowed() ? QFileDevice::DontCloseHandle
                                        : QFileDevice::AutoCloseHandle)) {
        reason = file->errorString();
        return nullptr;
    }
    handle.release();
    return file;
}
