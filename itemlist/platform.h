#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <utility>

// Every call that depends on the operating system or the compiler, so that the rest of the
// program is plain C++ and Qt. This is written for Linux with GCC or Clang; elsewhere each
// call falls back to what portable C++ offers, or to nothing where the call is only a hint.
// The fallbacks are kept simple, since no other system is built or tested yet. The
// definitions live in platform/, a file for each concern.
namespace platform
{
// Asks the processor to start fetching the memory at address, which is read soon.
inline void prefetch(const void *address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

// --- Memory (platform/memory.cpp) ---

// size bytes aligned to alignment, a power of two no greater than alignof(std::max_align_t)
// or a multiple of the page size; throws std::bad_alloc when there is no memory. Freed with
// freeAligned() and the same size and alignment.
[[nodiscard]] void *allocateAligned(std::size_t size, std::size_t alignment);
void freeAligned(void *memory, std::size_t size, std::size_t alignment) noexcept;
// A hint that [memory, memory + size), aligned to a huge page, is read all over.
void adviseHugePages(void *memory, std::size_t size) noexcept;
// Gives the whole pages inside [memory, memory + size) back to the system, whose content
// reads as zeros from then on; freeing them later then costs next to nothing.
void releasePages(void *memory, std::size_t size) noexcept;

// What the system tells of memory, in bytes; -1 where it tells nothing (no limit set, or
// no such thing on this system).
struct MemoryFacts {
    qint64 physical = -1;          // installed
    qint64 physicalAvailable = -1; // not in use, or in use by caches the system can drop
    qint64 addressSpaceLimit = -1; // RLIMIT_AS
    qint64 addressSpaceUsed = -1;
    qint64 dataLimit = -1; // RLIMIT_DATA
    qint64 dataUsed = -1;
    qint64 groupLimit = -1; // of the process's control group
    qint64 groupUsed = -1;
};
[[nodiscard]] MemoryFacts memoryFacts();
// Has memory that the process frees go back to the system at once, rather than stay with
// the allocator for later, so that the process's size follows what it holds.
void returnFreedMemory() noexcept;

// How memoryFacts() reads what Linux writes, apart from reading it.
// The number after label in the text of a /proc file of "label: number kB" lines, in bytes;
// -1 without such a line.
[[nodiscard]] qint64 kibibytesIn(QByteArrayView text, QByteArrayView label);
// The number a control group file holds; "max", and anything that is no number, is -1.
[[nodiscard]] qint64 groupNumberIn(QByteArrayView text);
// The files with the memory limit and use of the control group that the text of
// /proc/self/cgroup names: version 1's memory controller where there is one, else version
// 2's; empty names when there is neither.
struct GroupMemoryFiles {
    QString limit;
    QString usage;
};
[[nodiscard]] GroupMemoryFiles groupMemoryFiles(QByteArrayView cgroupText);

// --- The process (platform/process.cpp) ---

// Lowers the calling thread's priority as far as it goes, for work that must never slow the
// window down; threads it starts inherit the priority.
void lowerThreadPriority() noexcept;
// Whether standard error goes to a terminal, where a person reads it as it comes.
[[nodiscard]] bool standardErrorIsTerminal();
// The system's words for an error number of the C library.
[[nodiscard]] QString systemReason(int error);
// The system's words for the error of the last call that failed.
[[nodiscard]] QString lastSystemReason();

// --- File names (platform/filenames.cpp) ---

// A file name is kept as a QString that gives back the exact bytes the system knows it by:
// a name that is not text in the system's encoding holds each byte that does not decode as
// the lone surrogate U+DC80 + byte, as Python's "surrogateescape" does.
[[nodiscard]] QString fileNameFromNative(const QByteArray &bytes);
[[nodiscard]] QByteArray nativeFileName(const QString &name);
// The name for a message: the bytes that do not decode shown as octal escapes ("\350").
[[nodiscard]] QString shownFileName(const QString &name);

// --- Files (platform/files.cpp) ---

struct FileStatus;

// Owns a handle of an open file, as the system numbers them, and closes it; or borrows one
// that stays open. Reads and writes go through it.
class FileHandle
{
public:
    FileHandle() = default;
    explicit FileHandle(int handle) : m_handle(handle) {}
    FileHandle(FileHandle &&other) noexcept : m_handle(other.m_handle), m_borrowed(other.m_borrowed)
    {
        other.m_handle = -1;
    }
    FileHandle &operator=(FileHandle &&other) noexcept;
    ~FileHandle();
    // A handle that is used, and never closed, through this one.
    [[nodiscard]] static FileHandle borrowed(int handle)
    {
        FileHandle file(handle);
        file.m_borrowed = true;
        return file;
    }

    [[nodiscard]] bool isOpen() const { return m_handle >= 0; }
    [[nodiscard]] bool isBorrowed() const { return m_borrowed; }
    // The bare handle, for what takes one (QFile).
    [[nodiscard]] int get() const { return m_handle; }
    // Gives up the handle, for a caller that closes it itself (unless it is borrowed).
    int release() { return std::exchange(m_handle, -1); }

    // Reads up to size bytes, once there are some or the file has ended; the count read, 0 at
    // the end, -1 on failure with reason saying why, or with an empty reason once stop is
    // requested while it waits.
    [[nodiscard]] qint64 read(char *into, qint64 size, const std::stop_token &stop,
                              QString &reason) const;
    // Reads size bytes of the file from offset, which it holds; false with reason when it
    // cannot.
    [[nodiscard]] bool readAt(qint64 offset, char *into, qint64 size, QString &reason) const;
    // Writes all of bytes to the file at its position; false with reason, the system's own,
    // saying why it could not.
    [[nodiscard]] bool writeAll(QByteArrayView bytes, QString &reason) const;
    // The status of the file.
    [[nodiscard]] bool status(FileStatus &status, QString &reason) const;

private:
    int m_handle = -1;
    bool m_borrowed = false;
};

// What a save needs to know of a file.
struct FileStatus {
    enum class Kind { Missing, Folder, Regular, Other };
    Kind kind = Kind::Missing;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0;       // permission, set-id and sticky bits
    std::uint64_t links = 1; // names the file has (hard links)
    qint64 size = 0;
    qint64 modified = 0; // in nanoseconds

    // Whether both describe the same file with the same content, as far as its size and
    // time of change tell.
    [[nodiscard]] bool sameVersionAs(const FileStatus &other) const
    {
        return kind == other.kind && device == other.device && inode == other.inode &&
               size == other.size && modified == other.modified;
    }
};
// The status of the file path names, following links; false when it cannot be found out,
// with reason saying why. A path that names nothing, or a dangling link, is Missing.
[[nodiscard]] bool fileStatus(const QString &path, FileStatus &status, QString &reason);
// Whether the process may write to the file at path; false with reason when not.
[[nodiscard]] bool isWritable(const QString &path, QString &reason);
// The reason a folder cannot be written as a file.
[[nodiscard]] QString folderReason();

// Opens the file at path for reading. Opening never waits for a FIFO's writer; reading
// waits instead, in FileHandle::read().
[[nodiscard]] FileHandle openForReading(const QString &path, QString &reason);

// Keeps a closed standard input, output or error from being taken by the next file opened,
// which would then be read or written in its place: each gets the null device, open the
// wrong way round, so that using it fails as a closed one does.
void holdClosedStandardHandles();
// The handle of standard output.
[[nodiscard]] int standardOutput();
// Standard input, borrowed, for reading; a handle of its own would take one more of the
// handles that a sort in runs needs.
[[nodiscard]] FileHandle standardInput(QString &reason);
// The handle that path stands for when it names an open handle of the process rather than a
// file: /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one; -1 when it
// names a file. Decided by the path as given, before any link leads into the process.
[[nodiscard]] int handleNamed(const QString &path);
// A handle of its own for writing to the open handle, at the same position: one that the
// process was given when it started, not one it opened itself.
[[nodiscard]] FileHandle duplicateForWriting(int handle, QString &reason);
// Whether a save into a FIFO that no program reads yet waits for a reader.
enum class ReaderWait { Wait, Fail };
// Opens the file at path for writing into it as it is, without truncating it; a FIFO that
// no program reads fails at once unless told to wait.
[[nodiscard]] FileHandle openForWritingInto(const QString &path, ReaderWait wait, QString &reason);

// Opens the regular file at path for reading and writing over it where it is.
[[nodiscard]] FileHandle openForRewriting(const QString &path, QString &reason);

// The file that path names once every link on the way is followed, even to a file that does
// not exist yet; path itself when it is no link. Empty with reason on a loop.
[[nodiscard]] QString linkTarget(const QString &path, QString &reason);
// Creates a new file beside path, in its folder, for content that is to replace it, with
// the mode a new file gets; its name goes to temporaryPath.
[[nodiscard]] FileHandle createBeside(const QString &path, QString &temporaryPath, QString &reason);
// Writes the file's content through to the disk.
[[nodiscard]] bool syncToDisk(const FileHandle &file, QString &reason);
// Gives the file at from the name to, replacing what had it, in one step.
[[nodiscard]] bool renameOver(const QString &from, const QString &to, QString &reason);
void removeFile(const QString &path) noexcept;
// Whether file is the one that status describes.
[[nodiscard]] bool isSameFile(const FileHandle &file, const FileStatus &status);
// Gives file the owner, group and mode of status, as far as the process may: an
// unprivileged one keeps its own owner, and maybe the group.
void copyOwnerAndMode(const FileHandle &file, const FileStatus &status);
// Gives target the extended attributes of the file at path, access control lists among them,
// as far as the process and the file system allow.
void copyExtendedAttributes(const QString &path, const FileHandle &target);
// Holds target's lock for writing, waiting a while for other writers; false with reason when
// they hold it on. The lock goes with the handle.
[[nodiscard]] bool lockForWriting(const FileHandle &target, QString &reason);
// Replaces the content of target with the size bytes of source, and writes it through to the
// disk. Room for all of it is taken first, without changing the file, so that a full disk
// fails before a byte is written.
[[nodiscard]] bool overwrite(const FileHandle &target, const FileHandle &source, qint64 size,
                             QString &reason);
// Makes a file at path, readable by the owner alone, holding the size bytes of source, and
// returns it open: it gets its name only once the copy is whole and on disk, so that no file
// at path ever holds part of it. Fails when something has the name already.
[[nodiscard]] FileHandle copyToNewFile(const FileHandle &source, qint64 size, const QString &path,
                                       QString &reason);

// How many more files the process may have open at once: its limit (RLIMIT_NOFILE) less
// those open already.
[[nodiscard]] qint64 openFileRoom();
// The folder for temporary files: $TMPDIR as it is set, else the system's.
[[nodiscard]] QString temporaryFolder();
// Opens a new file in folder for reading and writing that has no name, so that the system
// removes it once closed, however the process ends.
[[nodiscard]] FileHandle openUnnamedFile(const QString &folder, QString &reason);
// A new handle for reading file from its start, with a position of its own.
[[nodiscard]] FileHandle reopenForReading(const FileHandle &file, QString &reason);
} // namespace platform
