#include "spooledinput.h"

#include "listfile/handledevice.h"
#include "memory.h"
#include "messages.h"
#include "platform.h"

#include <QBuffer>

#include <new>

namespace
{
constexpr qint64 blockBytes = 4 << 20;
} // namespace

bool SpooledInput::fail(const char *what, const QString &name, const QString &reason)
{
    m_failedTo = what;
    m_failedName = name;
    m_errorString = reason;
    return false;
}

bool SpooledInput::take(QIODevice &input, const QString &name, qint64 memoryLimit,
                        const QString &folder)
{
    const auto readBlock = [&](QByteArray &block) {
        block.resize(blockBytes);
        const qint64 length = input.read(block.data(), blockBytes);
        block.resize(qMax<qint64>(length, 0));
        return length;
    };
    try {
        QByteArray block;
        for (;;) {
            const qint64 length = readBlock(block);
            if (length < 0)
                return fail("read", name, input.errorString());
            if (length == 0)
                return true;
            m_bytes += block;
            if (m_bytes.size() > memoryLimit)
                break;
        }
    } catch (const std::bad_alloc &) {
        return fail("read", name, notEnoughMemory());
    }

    QString reason;
    const auto writeFailed = [&] {
        return fail("write temporary file in", quotedName(folder), reason);
    };
    m_file = platform::openUnnamedFile(folder, reason);
    if (!m_file.isOpen())
        return writeFailed();
    QByteArray block = std::exchange(m_bytes, QByteArray());
    for (;;) {
        if (!m_file.writeAll(block, reason))
            return writeFailed();
        const qint64 length = readBlock(block);
        if (length < 0)
            return fail("read", name, input.errorString());
        if (length == 0)
            return true;
    }
}

std::unique_ptr<QIODevice> SpooledInput::open()
{
    if (!m_file.isOpen()) {
        auto buffer = std::make_unique<QBuffer>(&m_bytes);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    QString reason;
    return fileReading(platform::reopenForReading(m_file, reason), reason);
}
