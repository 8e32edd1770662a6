#pragma once

#include "../icureference.h"
#include "../testlocales.h"
#include "order/collation.h"

#include <array>
#include <iterator>
#include <memory>

// ICU's collation and Collation of the test locale that choice picks, each opened at the
// first input that picks it and kept for the fuzzer's run.
struct LocaleCollations {
    const UCollator *icu;
    const Collation &collation;
};

inline LocaleCollations localeCollations(quint8 choice)
{
    constexpr size_t localeCount = std::size(testLocales);
    static std::array<UCollator *, localeCount> icus{};
    static std::array<std::unique_ptr<const Collation>, localeCount> collations;
    const size_t locale = choice % localeCount;
    if (!icus[locale]) {
        icus[locale] = openIcu(testLocales[locale]).release();
        collations[locale] = std::make_unique<const Collation>(testLocales[locale]);
    }
    return {icus[locale], *collations[locale]};
}
