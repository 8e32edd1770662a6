#include "listfile/codepagedetector.h"

std::optional<TextEncoding> detectedCodePage(QByteArrayView)
{
    return std::nullopt;
}
