#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

#include <memory>

// Standard input kept so that it can be read from the start again, as a file that turns out
// not to be UTF-8 is: in memory while it stays within a limit, beyond it in an unnamed
// temporary file.
class SpooledInput
{
public:
    // Reads all of standard input. On failure returns false with what ("read" standard
    // input, or "write temporary file in" the folder), path and reason set.
    [[nodiscard]] bool take(qint64 memoryLimit, const QString &folder);
    // A new device that reads what was taken from its start, open.
    [[nodiscard]] std::unique_ptr<QIODevice> open();
    // The bytes of memory that what was taken holds.
    [[nodiscard]] qint64 memoryUse() const { return m_bytes.size(); }
    // The most of standard input kept in memory within budget.
    [[nodiscard]] static qint64 memoryLimitWithin(qint64 budget)
    {
        return qMin(budget / 8, qint64(1) << 30);
    }

    [[nodiscard]] const char *failedTo() const { return m_failedTo; }
    [[nodiscard]] const QString &failedPath() const { return m_failedPath; }
    [[nodiscard]] const QString &errorString() const { return m_errorString; }

private:
    bool fail(const char *what, const QString &path, const QString &reason);

    QByteArray m_bytes;
    std::unique_ptr<QFile> m_file; // the temporary file, when there is one
    const char *m_failedTo = "";
    QString m_failedPath;
    QString m_errorString;
};
