#include "listfile/encoding/codepage.h"

#include "listfile/encoding/icuconverter.h"

#include <cstring>

namespace
{
// The Windows code pages, under the names that list files know them by.
constexpr const char *windowsCodePages[] = {
    "windows-874",  "windows-932",  "windows-936",  "windows-949",  "windows-950",
    "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
    "windows-1255", "windows-1256", "windows-1257", "windows-1258"};

// Whether a list file can be in the code page: printable ASCII, tabs and line ends kept as
// they are (some of IBM's tables swap control characters), and no byte of a line end, comma,
// quote or blank inside a character of more than one byte.
bool suitsListFiles(const char *name)
{
    const Converter converter = openConverter(name);
    if (!converter || ucnv_getMinCharSize(converter.get()) != 1)
        return false;
    switch (ucnv_getType(converter.get())) {
    case UCNV_SBCS:
    case UCNV_DBCS:
    case UCNV_MBCS:
    case UCNV_LATIN_1:
    case UCNV_US_ASCII:
        break;
    default: // stateful, Unicode, or algorithmic in ways that shift bytes' meanings
        return false;
    }
    for (int byte = 0x09; byte < 0x7F; ++byte) {
        if (byte > 0x0D && byte < 0x20)
            continue;
        const char c = char(byte);
        if (toUtf16(converter.get(), QByteArrayView(&c, 1)) != std::u16string(1, char16_t(byte)))
            return false;
    }
    if (ucnv_getMaxCharSize(converter.get()) == 1)
        return true;
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (const char trail : {'\t', '\n', '\r', ' ', '"', ','}) {
            const char pair[2] = {char(lead), trail};
            const std::u16string text = toUtf16(converter.get(), QByteArrayView(pair, 2));
            if (!text.empty() && (text.size() < 2 || text[1] != char16_t(quint8(trail))))
                return false;
        }
    }
    return true;
}
} // namespace

const char *CodePage::keyNamed(QByteArrayView name)
{
    const QByteArray terminated = name.toByteArray();
    const char *canonical = icuName(terminated.constData());
    if (!canonical)
        return nullptr;
    for (const char *windows : windowsCodePages) {
        if (const char *own = icuName(windows); own && std::strcmp(own, canonical) == 0)
            return suitsListFiles(canonical) ? windows : nullptr;
    }
    return suitsListFiles(canonical) ? canonical : nullptr;
}
