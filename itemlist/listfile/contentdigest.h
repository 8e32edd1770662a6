#pragma once

#include "platform.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A digest of a file's bytes, quick enough to take as they are read or written: Qt's 64-bit
// hash of each 64 KiB of them in turn, each seeded with the one before. It tells a change that
// keeps a file's size and time (cp -p, rsync -t, touch -r) from none; it is no defence against
// a change made on purpose to look like none.
class ContentDigest
{
public:
    void add(QByteArrayView bytes);
    // The digest of the bytes added so far.
    [[nodiscard]] quint64 value() const;

private:
    static constexpr qsizetype blockBytes = 64 << 10;

    void addBlock(QByteArrayView block);

    QByteArray m_pending; // the start of a block
    size_t m_state = 0;
    qint64 m_length = 0;
};

// The digest of the bytes of the file at path; empty when it cannot be read.
[[nodiscard]] std::optional<quint64> digestOfFile(const QString &path);

// A regular file as the program last read or wrote it: its status, and the digest of its
// bytes when all of them went through the program.
struct FileVersion {
    platform::FileStatus status;
    std::optional<quint64> digest;
};
