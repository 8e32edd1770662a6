#pragma once

#include "listfile/handledevice.h"
#include "platform.h"

#include <QString>

#include <optional>

// Where a save writes, chosen so that saving changes nothing about the file but its content.
//
// A regular file, or a symbolic link to one, is replaced atomically: the new content goes
// to a temporary file beside it, which gets the old file's mode bits, owner and group as far
// as the process may set them, and takes the old file's place only once it is complete and
// on disk. When the folder does not allow the temporary file but the file itself is
// writable, the content goes to an unnamed temporary file in the system's temporary folder
// first, and is copied over the file only once complete, with room for it taken on the disk
// beforehand and the file locked against other saves. Either way a failure leaves the old
// file whole.
//
// Anything else that can be written is written directly, never replaced: a character device,
// a FIFO, a handle of the process named as /dev/stdout, /dev/fd/N or /proc/self/fd/N (written
// at its position, so that a file appended to stays appended to). Every failure carries the
// system's reason.
class SaveTarget
{
public:
    explicit SaveTarget(platform::ReaderWait wait = platform::ReaderWait::Wait) : m_wait(wait) {}
    // Drops an unfinished replacement.
    ~SaveTarget();
    SaveTarget(const SaveTarget &) = delete;
    SaveTarget &operator=(const SaveTarget &) = delete;

    [[nodiscard]] bool open(const QString &path);
    [[nodiscard]] bool openStandardOutput();
    [[nodiscard]] QIODevice &device() { return *m_device; }
    // Completes the save.
    [[nodiscard]] bool commit();
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    enum class Way { Directly, Replacing, InPlace };

    bool fail(const QString &reason);
    bool openDirectly(platform::FileHandle handle);
    bool openReplacement(const QString &path, const platform::FileStatus *old);
    bool openInPlace(platform::FileHandle target);

    platform::ReaderWait m_wait;
    Way m_way = Way::Directly;
    platform::FileHandle m_target; // the file written in place
    QString m_temporaryPath;       // the replacement, until it takes the file's place
    QString m_path;
    std::optional<HandleDevice> m_device; // what is written
    QString m_errorString;
};
