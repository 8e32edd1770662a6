#include "listfile/encoding/codepage.h"

#include "listfile/encoding/icuconverter.h"
#include "storage/utf8.h"

#include <algorithm>
#include <cstring>

namespace
{
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
} // namespace

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
    if (isAscii(utf8)) {
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
