#include "storage/runfile.h"

#include "platform.h"

#include <cstring>
#include <optional>
#include <utility>

namespace
{
// The length of the record at the start of bytes, key prefix and item; empty when bytes do
// not hold all of it.
std::optional<qsizetype> recordLength(const char *bytes, qsizetype available)
{
    constexpr qsizetype prefix = sizeof(quint64);
    if (available <= prefix)
        return std::nullopt;
    const auto item = Item::laidOutSize(bytes + prefix, available - prefix);
    return item ? std::optional(prefix + *item) : std::nullopt;
}
} // namespace

bool RunFile::create(const QString &folder)
{
    platform::FileHandle handle = platform::openUnnamedFile(folder, m_errorString);
    if (!handle.isOpen())
        return false;
    if (!m_file.open(handle.get(), QIODevice::ReadWrite | QIODevice::Unbuffered,
                     QFileDevice::AutoCloseHandle))
        return fail();
    handle.release();
    m_buffer.reserve(writeSize + 4096);
    return true;
}

bool RunFile::flush()
{
    // Written past QFile, which does not always tell the system's reason for a failed write.
    if (!platform::writeAll(int(m_file.handle()),
                            QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())),
                            m_errorString))
        return false;
    m_buffer.clear();
    return true;
}

bool RunFile::fail()
{
    m_errorString = m_file.errorString();
    return false;
}

bool RunFile::finishWriting()
{
    if (m_writing && !flush())
        return false;
    m_writing = false;
    std::string().swap(m_buffer);
    return true;
}

bool RunFile::rewind(qsizetype readSize)
{
    if (!finishWriting())
        return false;
    m_writing = false;
    m_readSize = readSize;
    m_parsed = 0;
    std::string().swap(m_buffer);
    return m_file.seek(0) || fail();
}

bool RunFile::readNext(std::vector<ItemEntry> &entries)
{
    entries.clear();
    // The start of a record that the last read cut off moves to the front.
    m_buffer.erase(0, size_t(std::exchange(m_parsed, 0)));
    for (;;) {
        const size_t kept = m_buffer.size();
        m_buffer.resize(kept + size_t(m_readSize));
        const qint64 length = m_file.read(m_buffer.data() + kept, m_readSize);
        if (length < 0)
            return fail();
        m_buffer.resize(kept + size_t(length));
        const char *bytes = m_buffer.data();
        const auto available = qsizetype(m_buffer.size());
        qsizetype at = 0;
        while (const auto record = recordLength(bytes + at, available - at)) {
            quint64 prefix = 0;
            std::memcpy(&prefix, bytes + at, sizeof prefix);
            entries.push_back({prefix, Item::laidOutAt(bytes + at + sizeof prefix)});
            at += *record;
        }
        if (!entries.empty() || length == 0) {
            m_parsed = at;
            return true;
        }
        // A record longer than a read: read on after it.
    }
}
