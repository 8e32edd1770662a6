#include "runs/runfile.h"

#include <algorithm>
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

ItemEntry RunFile::entryOfRecord(const char *record)
{
    quint64 prefix = 0;
    std::memcpy(&prefix, record, sizeof prefix);
    return {prefix, Item::laidOutAt(record + sizeof prefix)};
}

bool RunFile::create(const QString &folder)
{
    m_file = platform::openUnnamedFile(folder, m_errorString);
    if (!m_file.isOpen())
        return false;
    m_buffer.reserve(writeSize + 4096);
    return true;
}

void RunFile::sample(std::string_view records)
{
    const qint64 start = m_size - qint64(records.size());
    qint64 next = m_samples.empty() ? 0 : m_samples.back().offset + sampleSpacing;
    if (start + qint64(records.size()) <= next)
        return;
    // Record by record from the start, to find where they begin.
    for (qsizetype at = 0; at < qsizetype(records.size());) {
        const qsizetype length = *recordLength(records.data() + at, qsizetype(records.size()) - at);
        if (start + at >= next) {
            m_samples.push_back(
                {start + at, std::string(records.substr(size_t(at), size_t(length)))});
            next = start + at + sampleSpacing;
            if (start + qint64(records.size()) <= next)
                return;
        }
        at += length;
    }
}

bool RunFile::append(const ItemEntry &entry)
{
    const size_t start = m_buffer.size();
    appendRecord(entry, m_buffer);
    m_size += qint64(m_buffer.size() - start);
    sample(std::string_view(m_buffer).substr(start));
    return m_buffer.size() < writeSize || flush();
}

bool RunFile::appendRecords(const std::string &records)
{
    m_buffer.append(records);
    m_size += qint64(records.size());
    sample(records);
    return m_buffer.size() < writeSize || flush();
}

bool RunFile::flush()
{
    if (!m_file.writeAll(QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())),
                         m_errorString))
        return false;
    m_buffer.clear();
    return true;
}

bool RunFile::finishWriting()
{
    if (!m_buffer.empty() && !flush())
        return false;
    std::string().swap(m_buffer);
    return true;
}

bool RunReader::readNext(std::vector<ItemEntry> &entries, QString &errorString)
{
    entries.clear();
    // The start of a record that the last read cut off moves to the front.
    m_buffer.erase(0, size_t(std::exchange(m_parsed, 0)));
    m_bufferOffset = m_offset - qint64(m_buffer.size());
    for (;;) {
        const size_t kept = m_buffer.size();
        const qint64 length = std::min<qint64>(m_readSize, m_end - m_offset);
        m_buffer.resize(kept + size_t(length));
        if (length > 0 &&
            !m_file->file().readAt(m_offset, m_buffer.data() + kept, length, errorString))
            return false;
        m_offset += length;
        const char *bytes = m_buffer.data();
        const auto available = qsizetype(m_buffer.size());
        qsizetype at = 0;
        while (const auto record = recordLength(bytes + at, available - at)) {
            entries.push_back(RunFile::entryOfRecord(bytes + at));
            at += *record;
        }
        if (!entries.empty() || length == 0) {
            m_parsed = at;
            return true;
        }
        // A record longer than a read: read on after it.
    }
}
