#include "item.h"

#include "arena.h"

#include <cstring>

namespace
{
bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}
} // namespace

const Item *Item::create(Arena &arena, QByteArrayView utf8, bool loneSurrogates)
{
    quint8 header[10];
    qsizetype headerLength = 0;
    for (quint64 value = (quint64(utf8.size()) << 1) | quint64(loneSurrogates);; value >>= 7) {
        if (value < 0x80) {
            header[headerLength++] = quint8(value);
            break;
        }
        header[headerLength++] = quint8(value | 0x80);
    }
    auto *memory = static_cast<char *>(arena.allocate(headerLength + utf8.size(), 1));
    std::memcpy(memory, header, size_t(headerLength));
    if (!utf8.isEmpty())
        std::memcpy(memory + headerLength, utf8.data(), size_t(utf8.size()));
    return reinterpret_cast<const Item *>(memory);
}

const Item *Item::create(Arena &arena, QStringView text)
{
    QByteArray utf8;
    const bool loneSurrogates = appendWtf8(text, utf8);
    return create(arena, utf8, loneSurrogates);
}

QString Item::toString() const
{
    // Not QString::fromUtf8(), which would drop a U+FEFF at the start.
    QString text;
    appendUtf16(utf8(), text);
    return text;
}

bool appendWtf8(QStringView text, QByteArray &out)
{
    bool loneSurrogates = false;
    const qsizetype size = text.size();
    out.reserve(out.size() + size * 3);
    for (qsizetype index = 0; index < size; ++index) {
        char32_t c = text[index].unicode();
        if (c < 0x80) {
            out.append(char(c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && index + 1 < size && text[index + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[index + 1].unicode());
            ++index;
        } else if (isSurrogate(c)) {
            loneSurrogates = true;
        }
        if (c < 0x800) {
            out.append(char(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.append(char(0xE0 | (c >> 12)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.append(char(0xF0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3F)));
            out.append(char(0x80 | ((c >> 6) & 0x3F)));
        }
        out.append(char(0x80 | (c & 0x3F)));
    }
    return loneSurrogates;
}

void appendUtf16(QByteArrayView wtf8, QString &out)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(wtf8.data());
    const qsizetype size = wtf8.size();
    out.reserve(out.size() + size);
    for (qsizetype index = 0; index < size;) {
        const quint8 lead = bytes[index];
        char32_t c;
        if (lead < 0x80) {
            c = lead;
            index += 1;
        } else if (lead < 0xE0) {
            c = (char32_t(lead & 0x1F) << 6) | (bytes[index + 1] & 0x3F);
            index += 2;
        } else if (lead < 0xF0) {
            c = (char32_t(lead & 0x0F) << 12) | (char32_t(bytes[index + 1] & 0x3F) << 6) |
                (bytes[index + 2] & 0x3F);
            index += 3;
        } else {
            c = (char32_t(lead & 0x07) << 18) | (char32_t(bytes[index + 1] & 0x3F) << 12) |
                (char32_t(bytes[index + 2] & 0x3F) << 6) | (bytes[index + 3] & 0x3F);
            index += 4;
        }
        if (c >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(char16_t(c)));
        }
    }
}
