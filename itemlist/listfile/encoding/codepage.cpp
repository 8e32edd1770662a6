#include "listfile/encoding/codepage.h"

#include "listfile/encoding/icuconverter.h"
#include "storage/utf8.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

namespace
{
std::mutex registryMutex;
} // namespace

const CodePage &CodePage::of(const char *key)
{
    // The check of what a code page holds asks for each item: each thread keeps its last answer.
    thread_local const char *lastKey = nullptr;
    thread_local const CodePage *last = nullptr;
    if (key == lastKey)
        return *last;
    static std::map<std::string, std::unique_ptr<const CodePage>> made;
    const std::lock_guard lock(registryMutex);
    auto &page = made[key];
    if (!page)
        page.reset(new CodePage(key));
    lastKey = key;
    last = page.get();
    return *page;
}

CodePage::CodePage(const char *key) : m_key(key)
{
    const char *canonical = icuName(key);
    const Converter converter = openConverter(key);
    if (!canonical || !converter)
        throw std::runtime_error(std::string("ICU cannot convert ") + key);
    if (std::strncmp(key, "windows-", 8) == 0) {
        m_name = QString::fromLatin1(key);
    } else {
        UErrorCode status = U_ZERO_ERROR;
        const char *standard = ucnv_getStandardName(canonical, "IANA", &status);
        if (!standard)
            standard = ucnv_getStandardName(canonical, "MIME", &status);
        m_name = QString::fromLatin1(standard ? standard : canonical).toLower();
    }
    switch (ucnv_getMaxCharSize(converter.get())) {
    case 1:
        makeSingleByteTables(converter.get());
        m_kind = Kind::SingleByte;
        break;
    case 2:
        if (makeDoubleByteTables(converter.get()))
            m_kind = Kind::DoubleByte;
        break;
    default:
        break;
    }
}

namespace
{
// The character that bytes read as, when they are one the code page writes back as bytes.
std::optional<char16_t> characterWrittenBack(UConverter *converter, QByteArrayView bytes)
{
    const std::u16string text = toUtf16(converter, bytes);
    if (text.size() != 1 || QChar::isSurrogate(text[0]))
        return std::nullopt;
    char again[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t length = ucnv_fromUChars(converter, again, 4, text.data(), 1, &status);
    if (U_FAILURE(status) || QByteArrayView(again, length) != bytes)
        return std::nullopt;
    return text[0];
}
} // namespace

void CodePage::makeSingleByteTables(UConverter *converter)
{
    // ICU gives the bytes that a Windows code page leaves undefined the C1 controls of the
    // same value, which text never holds: such a byte shows text in another code page.
    // Windows-1252, which reads whatever no other code page does, keeps them.
    const bool c1IsText = std::strcmp(m_key, "windows-1252") == 0;
    m_bytes.assign(0x10000, 0);
    for (int byte = 0x80; byte < 0x100; ++byte) {
        const char c = char(byte);
        const auto character = characterWrittenBack(converter, QByteArrayView(&c, 1));
        if (!character || (!c1IsText && *character >= 0x80 && *character < 0xA0))
            continue;
        QByteArray utf8;
        appendUtf8(char32_t(*character), utf8);
        std::copy(utf8.begin(), utf8.end(), m_utf8[size_t(byte)].begin());
        m_utf8Length[size_t(byte)] = quint8(utf8.size());
        m_bytes[*character] = quint16(byte);
    }
}

bool CodePage::makeDoubleByteTables(UConverter *converter)
{
    // Each character of the code page, read and written back once here, so that text need
    // not be: a byte that is no character alone begins one of two.
    m_pairs.assign(0x10000, 0);
    m_bytes.assign(0x10000, 0);
    for (int lead = 0x80; lead < 0x100; ++lead) {
        const char byte = char(lead);
        UErrorCode status = U_ZERO_ERROR;
        UChar alone[2];
        ucnv_reset(converter);
        ucnv_toUChars(converter, alone, 2, &byte, 1, &status);
        m_leads[size_t(lead)] = status == U_TRUNCATED_CHAR_FOUND;
        if (!m_leads[size_t(lead)]) {
            if (const auto character = characterWrittenBack(converter, QByteArrayView(&byte, 1))) {
                m_singles[size_t(lead)] = *character;
                m_bytes[*character] = quint16(lead);
            }
            continue;
        }
        for (int trail = 0; trail < 0x100; ++trail) {
            const char pair[2] = {byte, char(trail)};
            const std::u16string text = toUtf16(converter, QByteArrayView(pair, 2));
            if (text.size() == 2 && QChar::isHighSurrogate(text[0]))
                return false;
            if (const auto character = characterWrittenBack(converter, QByteArrayView(pair, 2))) {
                m_pairs[size_t(lead << 8 | trail)] = *character;
                m_bytes[*character] = quint16(lead << 8 | trail);
            }
        }
    }
    return true;
}
