#pragma once

#include <QString>

#include <optional>

// The memory that a listsort run may use, in bytes.

// SIZE as -S takes it: a number of kibibytes, or a number followed by b (bytes), K, M, G or
// T (powers of 1024), or % (of the physical memory). Empty when SIZE is none of these.
[[nodiscard]] std::optional<qint64> memoryBudgetNamed(const QString &size);
// The budget without -S: most of the memory available, leaving room for what is not counted
// (the program, its threads, the system's buffers).
[[nodiscard]] qint64 defaultMemoryBudget();
