#pragma once

#include "platform.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

// Input that can be read only once (standard input, a FIFO, a device) kept so that it can be
// read from the start again, as a file that turns out not to be UTF-8 is: in memory while it
// stays within a limit, beyond it in an unnamed temporary file.
class SpooledInput
{
public:
    // Reads all of source, which a message calls name. On failure returns false with what
    // ("read" the source, or "write temporary file in" the folder), the name of what failed,
    // and the reason set.
    [[nodiscard]] bool take(QIODevice &source, const QString &name, qint64 memoryLimit,
                            const QString &folder);
    // A new device that reads what was taken from its start, open.
    [[nodiscard]] std::unique_ptr<QIODevice> open();
    // The bytes of memory that what was taken holds.
    [[nodiscard]] qint64 memoryUse() const { return m_bytes.size(); }

    [[nodiscard]] const char *failedTo() const { return m_failedTo; }
    [[nodiscard]] const QString &failedName() const { return m_failedName; }
    [[nodiscard]] const QString &errorString() const { return m_errorString; }

private:
    bool fail(const char *what, const QString &name, const QString &reason);

    QByteArray m_bytes;
    platform::FileHandle m_file; // the temporary file, when there is one
    const char *m_failedTo = "";
    QString m_failedName;
    QString m_errorString;
};
