#include "listfile/encoding/icuconverter.h"

#include <stdexcept>
#include <utility>
#include <vector>

Converter openConverter(const char *name)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status), ucnv_close);
    if (U_FAILURE(status))
        return {nullptr, ucnv_close};
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    ucnv_setFallback(converter.get(), false);
    return converter;
}

UConverter *threadConverter(const char *name)
{
    thread_local std::vector<std::pair<const char *, Converter>> converters;
    for (auto &[key, converter] : converters) {
        if (key == name)
            return converter.get();
    }
    Converter opened = openConverter(name);
    if (!opened)
        throw std::runtime_error(std::string("ICU cannot convert ") + name);
    converters.emplace_back(name, std::move(opened));
    return converters.back().second.get();
}

const char *icuName(const char *name)
{
    UErrorCode status = U_ZERO_ERROR;
    const char *canonical = ucnv_getAlias(name, 0, &status);
    return U_SUCCESS(status) ? canonical : nullptr;
}

std::u16string toUtf16(UConverter *converter, QByteArrayView bytes)
{
    std::u16string text(size_t(bytes.size()) * 2 + 2, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t length = ucnv_toUChars(converter, text.data(), int32_t(text.size()), bytes.data(),
                                         int32_t(bytes.size()), &status);
    if (U_FAILURE(status))
        return {};
    text.resize(size_t(length));
    return text;
}
