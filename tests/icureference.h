#pragma once

#include <QByteArray>
#include <QString>

#include <unicode/ucol.h>
#include <unicode/unorm2.h>

#include <cstdlib>
#include <memory>
#include <vector>

// ICU's collation, which the tests and fuzzers hold Collation to.

using Icu = std::unique_ptr<UCollator, decltype(&ucol_close)>;

// ICU's collation of locale, with numeric ordering and normalization as Collation's.
inline Icu openIcu(const char *locale)
{
    UErrorCode status = U_ZERO_ERROR;
    Icu icu(ucol_open(locale, &status), ucol_close);
    ucol_setAttribute(icu.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(icu.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    if (U_FAILURE(status))
        std::abort();
    return icu;
}

inline QByteArray icuKey(const UCollator *icu, const QString &text)
{
    const auto *units = reinterpret_cast<const UChar *>(text.utf16());
    QByteArray key(ucol_getSortKey(icu, units, int32_t(text.size()), nullptr, 0), '\0');
    ucol_getSortKey(icu, units, int32_t(text.size()), reinterpret_cast<uint8_t *>(key.data()),
                    int32_t(key.size()));
    return key;
}

// Whether ICU collates text as it collates its canonical decomposition, as it promises to.
// It does not for a contraction looked for across marks out of canonical order among which
// is a supplementary one, a defect of ICU's fixed in later versions, where the order of such
// text is not ICU's to hold.
inline bool collatesAsDecomposed(const UCollator *icu, const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *decomposition = unorm2_getNFDInstance(&status);
    std::vector<UChar> decomposed(size_t(text.size()) * 4 + 16);
    const int32_t length = unorm2_normalize(
        decomposition, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()),
        decomposed.data(), int32_t(decomposed.size()), &status);
    if (U_FAILURE(status))
        std::abort();
    return icuKey(icu, text) ==
           icuKey(icu, QString::fromUtf16(reinterpret_cast<const char16_t *>(decomposed.data()),
                                          length));
}
