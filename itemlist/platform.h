#pragma once

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Every call that depends on the operating system or the compiler, so that the rest of the
// program is plain C++ and Qt. This is written for Linux with GCC or Clang; elsewhere each
// call falls back to what portable C++ offers, or to nothing where the call is only a hint.
// The fallbacks are kept simple, since no other system is built or tested yet.
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

// Lowers the calling thread's priority as far as it goes, for work that must never slow the
// window down; threads it starts inherit the priority.
void lowerThreadPriority() noexcept;

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

// Whether standard error goes to a terminal, where a person reads it as it comes.
[[nodiscard]] bool standardErrorIsTerminal();

// The system's words for an error number of the C library.
[[nodiscard]] QString systemReason(int error);

// What a save needs to know of the file a path names, following links.
struct FileStatus {
    enum class Kind { Missing, Folder, Regular, Other };
    Kind kind = Kind::Missing;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0; // permission, set-id and sticky bits
};
// The status of path; false when it cannot be found out, with reason saying why. A path
// that names nothing, or a dangling link, is Missing.
[[nodiscard]] bool fileStatus(const QString &path, FileStatus &status, QString &reason);
// Whether the process may write to the file at path; false with reason when not.
[[nodiscard]] bool isWritable(const QString &path, QString &reason);
// The reason a folder cannot be written as a file.
[[nodiscard]] QString folderReason();
// Whether the file open at handle is the one that status describes.
[[nodiscard]] bool isSameFile(int handle, const FileStatus &status);
// Gives the file open at handle the owner, group and mode of status, as far as the process
// may: an unprivileged one keeps its own owner, and maybe the group.
void copyOwnerAndMode(int handle, const FileStatus &status);

// Opens a new file in folder for reading and writing that has no name, so that the system
// removes it once closed, however the process ends. Returns its handle, or -1 with reason
// saying why.
[[nodiscard]] int openUnnamedFile(const QString &folder, QString &reason);
// A new handle for reading the file open at handle from its start, with a position of its
// own; -1 on failure.
[[nodiscard]] int reopenForReading(int handle);
// Writes all of bytes to the file open at handle, at its position; false with reason, the
// system's own, saying why it could not.
[[nodiscard]] bool writeAll(int handle, QByteArrayView bytes, QString &reason);
} // namespace platform
