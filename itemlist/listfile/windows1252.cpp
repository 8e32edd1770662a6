#include "listfile/windows1252.h"

#include "storage/utf8.h"

#include <unicode/ucnv.h>

#include <memory>
#include <stdexcept>
#include <string>

const Windows1252 &Windows1252::instance()
{
    static const Windows1252 table;
    return table;
}

Windows1252::Windows1252()
{
    // ICU directly, not QStringDecoder: a Qt built without ICU would give Latin-1, which
    // maps 0x80 to 0x9F to other characters.
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(
        ucnv_open("windows-1252", &status), ucnv_close);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("ICU has no Windows-1252: ") + u_errorName(status));
    m_bytes.fill(-1);
    for (int byte = 0; byte < 256; ++byte) {
        const char raw = char(byte);
        UChar c = 0;
        ucnv_toUChars(converter.get(), &c, 1, &raw, 1, &status);
        if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
            throw std::runtime_error(std::string("cannot read Windows-1252: ") +
                                     u_errorName(status));
        status = U_ZERO_ERROR;
        appendUtf8(char32_t(c), m_utf8[byte]);
        if (c < m_bytes.size())
            m_bytes[c] = qint16(byte);
    }
}
