#pragma once

#include "platform.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A copy of what a device that cannot seek gave, so that it can be read again from its
// start: in memory, or beyond a limit, in an unnamed temporary file in a folder, which the
// system removes however the process ends.
class InputCopy
{
public:
    // Keeps no more than memoryLimit bytes in memory, the rest in folder; without a call,
    // everything in memory.
    void spillTo(const QString &folder, qint64 memoryLimit);

    [[nodiscard]] qint64 size() const { return m_size; }
    // The bytes of memory it holds.
    [[nodiscard]] qint64 memoryUse() const { return m_bytes.capacity(); }
    // Appends bytes; false with errorString saying why when the temporary file cannot take
    // them.
    [[nodiscard]] bool append(QByteArrayView bytes);
    // Reads size bytes from offset, which it holds; false with errorString on failure.
    [[nodiscard]] bool read(qint64 offset, char *into, qint64 size);
    void clear();
    [[nodiscard]] const QString &errorString() const { return m_errorString; }

private:
    bool fail(const QString &reason);

    QByteArray m_bytes; // the first bytes, or all of them
    platform::FileHandle m_file;
    std::optional<QString> m_folder;
    qint64 m_memoryLimit = 0;
    qint64 m_size = 0;
    QString m_errorString;
};
