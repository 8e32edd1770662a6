#pragma once

#include <QString>

#include <exception>

// What every part of the program says when memory runs out.
[[nodiscard]] inline QString notEnoughMemory()
{
    return QStringLiteral("not enough memory");
}

// What to say of a failure that an exception carries: memory running out, or threads that
// cannot start for want of it, is notEnoughMemory().
[[nodiscard]] QString reasonFor(const std::exception &failure);

// The bytes the process can still take before the system refuses them or has to end it: the
// least of the physical memory not in use, what the process's limits of address space
// (RLIMIT_AS) and data (RLIMIT_DATA) leave, and what the limit of its control group leaves.
// Large when the system tells nothing.
[[nodiscard]] qint64 availableMemory();
// The physical memory installed, or -1 when the system does not tell.
[[nodiscard]] qint64 physicalMemory();
