#pragma once

// What the platform pair's calls give back when the system refuses one. For its own files.

#include "platform.h"

#include <cerrno>

namespace platform::detail
{
inline bool fail(QString &reason)
{
    reason = lastSystemReason();
    return false;
}

inline FileHandle failed(QString &reason)
{
    reason = lastSystemReason();
    return {};
}

inline FileHandle unsupported(QString &reason)
{
    reason = systemReason(ENOSYS);
    return {};
}
} // namespace platform::detail
