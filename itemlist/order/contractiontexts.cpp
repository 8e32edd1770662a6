#include "order/contractiontexts.h"

#include <unicode/ucol.h>
#include <unicode/uset.h>

#include <memory>
#include <stdexcept>

std::vector<std::u16string> contractionTexts(const UCollator *collator, bool withPrefixes)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<USet, decltype(&uset_close)> set(uset_openEmpty(), uset_close);
    ucol_getContractionsAndExpansions(collator, set.get(), nullptr, withPrefixes, &status);
    std::vector<std::u16string> texts;
    for (int32_t item = 0; U_SUCCESS(status) && item < uset_getItemCount(set.get()); ++item) {
        UChar32 start, end;
        std::u16string text(64, u'\0');
        int32_t length = uset_getItem(set.get(), item, &start, &end,
                                      reinterpret_cast<UChar *>(text.data()), 64, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            status = U_ZERO_ERROR;
            text.resize(size_t(length));
            length = uset_getItem(set.get(), item, &start, &end,
                                  reinterpret_cast<UChar *>(text.data()), length, &status);
        }
        if (U_SUCCESS(status) && length > 1) {
            text.resize(size_t(length));
            texts.push_back(std::move(text));
        }
    }
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("cannot list the collation's contractions: ") +
                                 u_errorName(status));
    return texts;
}
