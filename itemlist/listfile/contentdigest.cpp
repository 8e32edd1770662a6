#include "listfile/contentdigest.h"

#include "listfile/handledevice.h"

#include <QHash>

#include <algorithm>

void ContentDigest::add(QByteArrayView bytes)
{
    m_length += bytes.size();
    if (!m_pending.isEmpty()) {
        const qsizetype length = std::min(bytes.size(), blockBytes - m_pending.size());
        m_pending.append(bytes.first(length));
        bytes = bytes.sliced(length);
        if (m_pending.size() < blockBytes)
            return;
        addBlock(m_pending);
        m_pending.clear();
    }
    // Whole blocks straight from the bytes, so that the digest does not depend on how the
    // bytes are cut into calls.
    for (; bytes.size() >= blockBytes; bytes = bytes.sliced(blockBytes))
        addBlock(bytes.first(blockBytes));
    m_pending.append(bytes);
}

quint64 ContentDigest::value() const
{
    return qHash(m_length, qHashBits(m_pending.constData(), size_t(m_pending.size()), m_state));
}

void ContentDigest::addBlock(QByteArrayView block)
{
    m_state = qHashBits(block.data(), size_t(block.size()), m_state);
}

std::optional<quint64> digestOfFile(const QString &path)
{
    QString reason;
    const std::unique_ptr<QFile> file = fileReading(platform::openForReading(path, reason), reason);
    if (!file)
        return std::nullopt;
    ContentDigest digest;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 length = 0; (length = file->read(block.data(), block.size())) != 0;) {
        if (length < 0)
            return std::nullopt;
        digest.add(QByteArrayView(block).first(length));
    }
    return digest.value();
}
