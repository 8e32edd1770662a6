#pragma once

#include <QString>

// What every part of the program says when memory runs out.
[[nodiscard]] inline QString notEnoughMemory()
{
    return QStringLiteral("not enough memory");
}
