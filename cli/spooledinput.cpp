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
    platform::FileHandle handle = platform::openUnnamedFile(folder, reason);
    m_file = std::make_unique<QFile>();
    const auto writeFailed = [&] {
        return fail("write temporary file in", quotedName(folder),
                    reason.isEmpty() ? m_file->errorString() : reason);
    };
    if (!handle.isOpen() ||
        !m_file->open(handle.get(), QIODevice::ReadWrite | QIODevice::Unbuffered,
                      QFileDevice::AutoCloseHandle))
        return writeFailed();
    handle.release();
    QByteArray block = std::exchange(m_bytes, QByteArray());
    for (;;) {
        // Written past QFile, which does not always tell the system's reason for a failure.
        if (!platform::writeAll(int(m_file->handle()), block, reason))
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
    if (!m_file) {
        auto buffer = std::make_unique<QBuffer>(&m_bytes);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    QString reason;
    return fileReading(platform::reopenForReading(int(m_file->handle()), reason), reason);
}
