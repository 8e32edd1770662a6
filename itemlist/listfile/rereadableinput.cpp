#include "listfile/rereadableinput.h"

#include <algorithm>

qint64 RereadableInput::read(char *into, qint64 size)
{
    // What a device that cannot seek gave is read again from its copy, until the copy's end.
    if (m_copyAt < m_copy.size()) {
        const qint64 length = std::min<qint64>(size, m_copy.size() - m_copyAt);
        if (!m_copy.read(m_copyAt, into, length)) {
            m_copyFailed = true;
            return -1;
        }
        m_copyAt += length;
        if (!m_keeping && m_copyAt == m_copy.size()) {
            m_copy.clear();
            m_copyAt = 0;
        }
        m_position += length;
        return length;
    }
    const qint64 length = m_device->read(into, size);
    if (length > 0) {
        if (m_device->isSequential() && m_keeping) {
            if (!m_copy.append(QByteArrayView(into, length))) {
                m_copyFailed = true;
                return -1;
            }
            m_copyAt = m_copy.size();
        }
        m_position += length;
    }
    return length;
}

bool RereadableInput::rewind(qint64 offset)
{
    m_position = offset;
    if (!m_device->isSequential())
        return m_device->seek(offset);
    m_copyAt = offset;
    if (!m_keeping && m_copyAt == m_copy.size())
        m_copy.clear();
    return true;
}

QByteArray RereadableInput::start(qsizetype bytes)
{
    if (m_device->isSequential()) {
        QByteArray start(std::min(m_copy.size(), qint64(bytes)), Qt::Uninitialized);
        return m_copy.read(0, start.data(), start.size()) ? start : QByteArray();
    }
    if (!m_device->seek(0))
        return {};
    return m_device->read(bytes);
}

void RereadableInput::close()
{
    m_device.reset();
    m_copy.clear();
}

qint64 RereadableInput::size() const
{
    if (!m_device)
        return 0;
    return m_device->isSequential() ? -1 : m_device->size();
}

QString RereadableInput::errorString() const
{
    return m_copyFailed ? m_copy.errorString() : m_device->errorString();
}
