#include "listfile/rereadableinput.h"

#include "listfile/encoding/codepagedetector.h"

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
    qint64 length = m_device->read(into, size);
    // Qt's devices that cannot seek (a finished process, a closed socket) read -1 once no
    // more data can come.
    if (length < 0 && m_device->isSequential() && m_device->atEnd())
        length = 0;
    if (length > 0) {
        if (m_device->isSequential() && m_keeping) {
            if (!m_copy.append(QByteArrayView(into, length))) {
                m_copyFailed = true;
                return -1;
            }
            m_copyAt = m_copy.size();
        }
        if (m_digesting && !m_device->isSequential() && m_position + length > m_digestedTo) {
            const qint64 seen = std::max<qint64>(m_digestedTo - m_position, 0);
            m_digest.add(QByteArrayView(into + seen, length - seen));
            m_digestedTo = m_position + length;
        }
        m_position += length;
    } else if (length == 0) {
        m_digestedAll = m_digesting && !m_device->isSequential() && m_position == m_digestedTo;
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

QByteArray RereadableInput::detectionSample()
{
    // A large input is sampled in parts spread over it; a read that fails ends the sample
    // early, and reading the text again reports it.
    const bool fromCopy = m_device->isSequential();
    const qint64 total = fromCopy ? m_copy.size() : m_device->size();
    const int parts = int(std::clamp<qint64>(total >> 14, 1, 16));
    DetectionSample sample;
    QByteArray block(64 << 10, Qt::Uninitialized);
    for (int part = 0; part < parts; ++part) {
        const qint64 end = total * (part + 1) / parts;
        qint64 offset = total * part / parts;
        sample.startPart(parts - part, offset > 0);
        if (!fromCopy && !m_device->seek(offset))
            break;
        for (qint64 length = 0; offset < end; offset += length) {
            length = std::min<qint64>(block.size(), end - offset);
            const bool read = fromCopy ? m_copy.read(offset, block.data(), length)
                                       : m_device->read(block.data(), length) == length;
            if (!read || !sample.add(QByteArrayView(block).first(length)))
                break;
        }
    }
    return sample.take();
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
