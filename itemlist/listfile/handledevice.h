#pragma once

#include "listfile/contentdigest.h"
#include "platform.h"

#include <QFile>
#include <QIODevice>

#include <memory>
#include <optional>

#include <stop_token>

// Reads or writes an open file handle, which it owns, front to back, and tells the system's
// own reason when that fails (QFile does not always). A read waits for bytes from a FIFO or
// a device, and gives up once stop is requested.
class HandleDevice : public QIODevice
{
public:
    HandleDevice(platform::FileHandle handle, OpenMode mode, std::stop_token stop = {});

    [[nodiscard]] bool isSequential() const override { return true; }
    // Reads end with 0 bytes, as a file's do: a read that failed is no end.
    [[nodiscard]] bool atEnd() const override { return !m_failed && QIODevice::atEnd(); }
    [[nodiscard]] const platform::FileHandle &file() const { return m_handle; }
    // The digest of the bytes written, when asked for before the first write.
    void digestWrites() { m_written.emplace(); }
    [[nodiscard]] std::optional<quint64> writtenDigest() const
    {
        return m_written ? std::optional(m_written->value()) : std::nullopt;
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 length) override;

private:
    platform::FileHandle m_handle;
    std::stop_token m_stop;
    bool m_failed = false;
    std::optional<ContentDigest> m_written;
};

// A QFile, which can seek, reading handle, which it then owns; null, with reason, when the
// handle is not open or QFile cannot take it.
[[nodiscard]] std::unique_ptr<QFile> fileReading(platform::FileHandle handle, QString &reason);
