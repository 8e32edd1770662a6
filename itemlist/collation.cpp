#include "collation.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace
{
void check(UErrorCode status, const char *what)
{
    if (U_FAILURE(status))
        throw std::runtime_error(std::string(what) + ": " + u_errorName(status));
}
} // namespace

Collation::Collation()
{
    UErrorCode status = U_ZERO_ERROR;
    // The empty locale name selects the root collation, the same on every machine.
    m_collator = ucol_open("", &status);
    check(status, "cannot open the root collation");
    ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(m_collator, UCOL_STRENGTH, UCOL_TERTIARY, &status);
    check(status, "cannot configure the collation");
}

Collation::Collation(const Collation &other)
{
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_clone(other.m_collator, &status);
    check(status, "cannot copy the collation");
}

Collation::~Collation()
{
    ucol_close(m_collator);
}

qsizetype Collation::sortKey(QStringView text, quint8 *buffer, qsizetype capacity) const
{
    constexpr qsizetype maxLength = std::numeric_limits<int32_t>::max();
    // ICU takes 32-bit lengths; a longer text is ordered by its first 2^31-1 characters.
    const auto length = int32_t(std::min(text.size(), maxLength));
    return ucol_getSortKey(m_collator, reinterpret_cast<const UChar *>(text.utf16()), length,
                           buffer, int32_t(std::min(capacity, maxLength)));
}
