#pragma once

#include "listfile/handledevice.h"
#include "platform.h"

#include <QString>

#include <optional>

// Where a save writes, chosen so that saving changes nothing about the file but its content.
//
// A regular file, or a symbolic link to one, wherever it lies, is replaced atomically: the
// new content goes to a temporary file beside it, which gets the old file's mode bits, owner,
// group and extended attributes (access control lists among them) as far as the process may
// set them, and takes the old file's place only once it is complete and on disk. A name that
// does not exist yet becomes such a file.
//
// A regular file with other names (hard links), or whose folder does not allow the temporary
// file, is written in place, so that its other names see the new content too: the content goes
// to an unnamed temporary file in the system's temporary folder first, and is copied over the
// file only once complete, with the file locked against other saves. Meanwhile the old content
// is kept whole in a backup in the user's cache folder (~/.cache/file-sorter/backups, else the
// temporary folder), named after the file and the time, so that a save cut short, even by a
// kill, never leaves the old content lost; a save that fails puts the old content back, and the
// backup goes once the file is whole, new or old. Either way a failure leaves the old file as
// it was.
//
// Anything else that can be written is written directly, never replaced: a character device,
// a FIFO, a socket, or a handle that the process was given, named as /dev/stdout, /dev/fd/N or
// /proc/self/fd/N (written at its position, so that a file appended to stays appended to).
// Every failure carries the system's reason.
class SaveTarget
{
public:
    explicit SaveTarget(platform::ReaderWait wait = platform::ReaderWait::Wait) : m_wait(wait) {}
    // Drops an unfinished replacement.
    ~SaveTarget();
    SaveTarget(const SaveTarget &) = delete;
    SaveTarget &operator=(const SaveTarget &) = delete;

    // With digest, takes a digest of the bytes written to a regular file, for savedVersion().
    [[nodiscard]] bool open(const QString &path, bool digest = false);
    [[nodiscard]] bool openStandardOutput();
    [[nodiscard]] QIODevice &device() { return *m_device; }
    // Completes the save.
    [[nodiscard]] bool commit();
    // The file as the save left it, with the digest of its bytes when asked for and it is a
    // regular file.
    [[nodiscard]] std::optional<FileVersion> savedVersion() const;
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    enum class Way { Directly, Replacing, InPlace };

    bool fail(const QString &reason);
    bool openDirectly(platform::FileHandle handle);
    bool openReplacement(const QString &target, const platform::FileStatus *old);
    bool openInPlace(const QString &target);
    bool commitInPlace();

    platform::ReaderWait m_wait;
    bool m_digest = false;
    Way m_way = Way::Directly;
    platform::FileHandle m_target;        // the file written in place
    QString m_temporaryPath;              // the replacement, until it takes the file's place
    QString m_path;                       // the file written, once links are followed
    std::optional<HandleDevice> m_device; // what is written
    QString m_errorString;
};
