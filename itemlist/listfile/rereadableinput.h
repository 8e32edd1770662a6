#pragma once

#include "listfile/contentdigest.h"
#include "listfile/inputcopy.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

// The bytes of a list file, read front to back, that can be read again from an offset: a file
// by seeking, a device that cannot seek (a FIFO, standard input) from a copy of what it gave,
// kept while it may be needed.
class RereadableInput
{
public:
    void open(std::unique_ptr<QIODevice> device) { m_device = std::move(device); }
    // Keeps the copy in an unnamed temporary file in folder beyond memoryLimit bytes, rather
    // than all in memory.
    void keepCopyIn(const QString &folder, qint64 memoryLimit)
    {
        m_copy.spillTo(folder, memoryLimit);
    }
    // Whether bytes read from now on may have to be read again: without it, the copy goes
    // once it has been read again.
    void setKeeping(bool keeping) { m_keeping = keeping; }

    // Reads up to size bytes; 0 at the end, -1 on failure with errorString() saying why.
    [[nodiscard]] qint64 read(char *into, qint64 size);
    // Reads again from offset.
    [[nodiscard]] bool rewind(qint64 offset);
    // The text of the input for the charset detectors (see DetectionSample), from as much of
    // it as has been read: all of a file, what a device that cannot seek has given so far.
    // Leaves the place to read from to rewind().
    [[nodiscard]] QByteArray detectionSample();
    void close();

    // The bytes read so far, and in all: -1 when the device does not tell, 0 once closed.
    [[nodiscard]] qint64 position() const { return m_position; }
    [[nodiscard]] qint64 size() const;
    // Takes a digest of the bytes of a file that can seek as they are read, each byte once.
    void digestContent() { m_digesting = true; }
    // The digest of all the bytes of a file, once read to its end, when asked for before;
    // empty otherwise.
    [[nodiscard]] std::optional<quint64> digest() const
    {
        return m_digestedAll ? std::optional(m_digest.value()) : std::nullopt;
    }
    // The memory the copy holds.
    [[nodiscard]] qint64 memoryUse() const { return m_copy.memoryUse(); }
    [[nodiscard]] QString errorString() const;

private:
    std::unique_ptr<QIODevice> m_device;
    InputCopy m_copy;
    qint64 m_copyAt = 0; // where reading the copy again has got to
    bool m_copyFailed = false;
    bool m_keeping = true;
    qint64 m_position = 0;
    bool m_digesting = false;
    ContentDigest m_digest; // of a file's bytes, each taken once however often it is read
    qint64 m_digestedTo = 0;
    bool m_digestedAll = false;
};
