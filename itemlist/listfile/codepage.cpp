#include "listfile/codepage.h"

#include "storage/utf8.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

namespace
{
using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

constexpr quint64 highBits = 0x8080808080808080;

// Moves from past the ASCII bytes it points at, eight at a time, copying them to next when
// it is given; stops at a group of eight that holds another byte, or fewer than eight before
// end. List text is mostly ASCII, even in a code page.
void passAsciiWords(const quint8 *&from, const quint8 *end, char **next = nullptr)
{
    for (; end - from >= 8; from += 8) {
        quint64 word;
        std::memcpy(&word, from, 8);
        if (word & highBits)
            return;
        if (next) {
            std::memcpy(*next, &word, 8);
            *next += 8;
        }
    }
}

// A converter that stops at text that is not the code page's, rather than put in a
// substitute.
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

// This thread's converter for the code page that ICU calls name.
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

// The Windows code pages, under the names that list files know them by.
constexpr const char *windowsCodePages[] = {
    "windows-874",  "windows-932",  "windows-936",  "windows-949",  "windows-950",
    "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
    "windows-1255", "windows-1256", "windows-1257", "windows-1258"};

// ICU's own name for the code page that name stands for; null when it knows none.
const char *icuName(const char *name)
{
    UErrorCode status = U_ZERO_ERROR;
    const char *canonical = ucnv_getAlias(name, 0, &status);
    return U_SUCCESS(status) ? canonical : nullptr;
}

// The characters of bytes, as converter reads them; empty when it cannot.
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

std::mutex registryMutex;
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

const CodePage &CodePage::of(TextEncoding encoding)
{
    // The writer asks for each line: the last answer is kept by each thread.
    thread_local const char *lastKey = nullptr;
    thread_local const CodePage *last = nullptr;
    if (encoding.codePageKey() == lastKey)
        return *last;
    static std::map<std::string, std::unique_ptr<const CodePage>> made;
    const std::lock_guard lock(registryMutex);
    auto &page = made[encoding.codePageKey()];
    if (!page)
        page.reset(new CodePage(encoding.codePageKey()));
    lastKey = encoding.codePageKey();
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

bool CodePage::decode(QByteArrayView bytes, QByteArray &out) const
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size() * 3 + 4);
    char *next = out.data() + start;
    const auto *from = reinterpret_cast<const quint8 *>(bytes.data());
    const quint8 *const end = from + bytes.size();
    switch (m_kind) {
    case Kind::SingleByte:
        for (; from < end; ++from) {
            passAsciiWords(from, end, &next);
            if (from == end)
                break;
            if (*from < 0x80) {
                *next++ = char(*from);
                continue;
            }
            const quint8 length = m_utf8Length[*from];
            if (length == 0)
                return false;
            std::memcpy(next, m_utf8[*from].data(), length);
            next += length;
        }
        break;
    case Kind::DoubleByte:
        while (from < end) {
            passAsciiWords(from, end, &next);
            if (from == end)
                break;
            if (*from < 0x80) {
                *next++ = char(*from++);
                continue;
            }
            char16_t character;
            if (m_leads[*from]) {
                if (end - from < 2)
                    return false;
                character = m_pairs[size_t(from[0] << 8 | from[1])];
                from += 2;
            } else {
                character = m_singles[*from++];
            }
            if (character == 0)
                return false;
            if (character < 0x800) {
                *next++ = char(0xC0 | (character >> 6));
            } else {
                *next++ = char(0xE0 | (character >> 12));
                *next++ = char(0x80 | ((character >> 6) & 0x3F));
            }
            *next++ = char(0x80 | (character & 0x3F));
        }
        break;
    case Kind::ThroughIcu: {
        // Through ICU, and back: text that does not write back as it was is not the code
        // page's.
        UConverter *converter = threadConverter(m_key);
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length =
            ucnv_toAlgorithmic(UCNV_UTF8, converter, next, int32_t(out.size() - start),
                               bytes.data(), int32_t(bytes.size()), &status);
        if (U_FAILURE(status) || !writesBack(bytes, QByteArrayView(next, length)))
            return false;
        next += length;
        break;
    }
    }
    out.truncate(next - out.constData());
    return true;
}

bool CodePage::writesBack(QByteArrayView bytes, QByteArrayView utf8) const
{
    UConverter *converter = threadConverter(m_key);
    std::string again(size_t(bytes.size()) + 4, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t written =
        ucnv_fromAlgorithmic(converter, UCNV_UTF8, again.data(), int32_t(again.size()), utf8.data(),
                             int32_t(utf8.size()), &status);
    return U_SUCCESS(status) && written == bytes.size() &&
           std::memcmp(again.data(), bytes.data(), size_t(written)) == 0;
}

bool CodePage::encode(QByteArrayView utf8, std::string &out) const
{
    const size_t start = out.size();
    if (m_kind != Kind::ThroughIcu) {
        // A character never takes more bytes in a table's code page than in UTF-8.
        out.resize(start + size_t(utf8.size()));
        char *next = out.data() + start;
        const auto *from = reinterpret_cast<const quint8 *>(utf8.data());
        const quint8 *const end = from + utf8.size();
        while (from < end) {
            passAsciiWords(from, end, &next);
            if (from == end)
                break;
            const char32_t c = takeCharacter(from);
            const quint16 bytes = c < 0x80 ? quint16(c) : c < 0x10000 ? m_bytes[c] : 0;
            if (bytes == 0 && c != 0) {
                out.resize(size_t(next - out.data()));
                return false;
            }
            if (bytes >= 0x100)
                *next++ = char(bytes >> 8);
            *next++ = char(bytes & 0xFF);
        }
        out.resize(size_t(next - out.data()));
        return true;
    }
    if (std::ranges::all_of(utf8, [](char byte) { return quint8(byte) < 0x80; })) {
        out.append(utf8.data(), size_t(utf8.size()));
        return true;
    }
    UConverter *converter = threadConverter(m_key);
    out.resize(start + size_t(utf8.size()) * 2 + 4);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromAlgorithmic(converter, UCNV_UTF8, out.data() + start, int32_t(out.size() - start),
                             utf8.data(), int32_t(utf8.size()), &status);
    out.resize(start + size_t(U_SUCCESS(status) ? length : 0));
    return U_SUCCESS(status);
}

bool CodePage::holds(QByteArrayView utf8) const
{
    if (m_kind == Kind::ThroughIcu) {
        thread_local std::string scratch;
        scratch.clear();
        return encode(utf8, scratch);
    }
    const auto *from = reinterpret_cast<const quint8 *>(utf8.data());
    const quint8 *const end = from + utf8.size();
    while (from < end) {
        passAsciiWords(from, end);
        if (from == end)
            break;
        const char32_t c = takeCharacter(from);
        if (c >= 0x80 && (c >= 0x10000 || m_bytes[c] == 0))
            return false;
    }
    return true;
}
