#pragma once

#include "platform.h"

#include <QFileDevice>
#include <QString>

#include <memory>

// Where a save writes, chosen so that saving changes nothing about the file but its content.
//
// A regular file, or a symbolic link to one, is replaced atomically: the new content goes
// to a temporary file beside it, which gets the old file's mode bits, owner and group as far
// as the process may set them, and takes the old file's place only once it is complete. A
// failure leaves the old file whole and no temporary file behind. When the folder does not
// allow the temporary file but the file itself is writable, the file is written in place.
//
// Anything else that can be written (a character device, a FIFO, /dev/stdout) is opened and
// written directly, never replaced. Every failure carries the system's reason.
class SaveTarget
{
public:
    [[nodiscard]] bool open(const QString &path);
    [[nodiscard]] QIODevice &device() { return *m_file; }
    // Completes the save; without it the destructor drops a replacement unfinished.
    [[nodiscard]] bool commit();
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    bool fail(const QString &reason);
    // old is the file being replaced, null when there is none yet.
    bool openReplacement(const QString &path, const platform::FileStatus *old);
    bool openDirectly(const QString &path);

    std::unique_ptr<QFileDevice> m_file;
    QString m_errorString;
};
