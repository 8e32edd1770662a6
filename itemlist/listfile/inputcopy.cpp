#include "listfile/inputcopy.h"

#include <algorithm>
#include <cstring>

void InputCopy::spillTo(const QString &folder, qint64 memoryLimit)
{
    m_folder = folder;
    m_memoryLimit = memoryLimit;
}

bool InputCopy::fail(const QString &reason)
{
    m_errorString = QStringLiteral("cannot keep a copy in the temporary folder '%1': %2")
                        .arg(platform::shownFileName(*m_folder), reason);
    return false;
}

bool InputCopy::append(QByteArrayView bytes)
{
    qint64 inMemory = bytes.size();
    if (m_folder)
        inMemory = m_file.isOpen()
                       ? 0
                       : std::clamp<qint64>(m_memoryLimit - m_bytes.size(), 0, bytes.size());
    m_bytes.append(bytes.first(inMemory));
    const QByteArrayView rest = bytes.sliced(inMemory);
    if (!rest.isEmpty()) {
        QString reason;
        if (!m_file.isOpen()) {
            m_file = platform::openUnnamedFile(*m_folder, reason);
            if (!m_file.isOpen())
                return fail(reason);
        }
        if (!m_file.writeAll(rest, reason))
            return fail(reason);
    }
    m_size += bytes.size();
    return true;
}

bool InputCopy::read(qint64 offset, char *into, qint64 size)
{
    const qint64 fromMemory = std::clamp<qint64>(m_bytes.size() - offset, 0, size);
    if (fromMemory > 0)
        std::memcpy(into, m_bytes.constData() + offset, size_t(fromMemory));
    if (fromMemory == size)
        return true;
    QString reason;
    return m_file.readAt(offset + fromMemory - m_bytes.size(), into + fromMemory, size - fromMemory,
                         reason) ||
           fail(reason);
}

void InputCopy::clear()
{
    m_bytes = QByteArray();
    m_file = {};
    m_size = 0;
}
