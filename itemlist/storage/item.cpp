#include "storage/item.h"

#include "platform.h"
#include "storage/arena.h"
#include "storage/utf8.h"

#include <algorithm>
#include <cstring>

namespace
{
// Allocates an item of length bytes of text in arena and writes its header; returns where its
// text goes.
char *allocateItem(Arena &arena, qsizetype length, bool loneSurrogates, const Item *&item)
{
    quint8 header[10];
    qsizetype headerLength = 0;
    for (quint64 value = (quint64(length) << 1) | quint64(loneSurrogates);; value >>= 7) {
        if (value < 0x80) {
            header[headerLength++] = quint8(value);
            break;
        }
        header[headerLength++] = quint8(value | 0x80);
    }
    auto *memory = static_cast<char *>(arena.allocate(headerLength + length, 1));
    std::memcpy(memory, header, size_t(headerLength));
    item = Item::laidOutAt(memory);
    return memory + headerLength;
}
} // namespace

const Item *Item::createLong(Arena &arena, QByteArrayView utf8, bool loneSurrogates)
{
    const Item *item = nullptr;
    char *text = allocateItem(arena, utf8.size(), loneSurrogates, item);
    if (!utf8.isEmpty())
        std::memcpy(text, utf8.data(), size_t(utf8.size()));
    return item;
}

const Item *Item::createFrom(Arena &arena, QByteArray &&utf8, qsizetype length, bool loneSurrogates)
{
    constexpr qsizetype sliceBytes = 4 << 20;
    const Item *item = nullptr;
    char *text = allocateItem(arena, length, loneSurrogates, item);
    char *source = utf8.data();
    for (qsizetype done = 0; done < length; done += sliceBytes) {
        const qsizetype slice = std::min(sliceBytes, length - done);
        std::memcpy(text + done, source + done, size_t(slice));
        platform::releasePages(source + done, size_t(slice));
    }
    utf8 = QByteArray();
    return item;
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

std::optional<qsizetype> Item::laidOutSize(const char *bytes, qsizetype available)
{
    quint64 header = 0;
    int shift = 0;
    for (qsizetype index = 0; index < available && shift < 64; ++index, shift += 7) {
        const auto byte = quint8(bytes[index]);
        header |= quint64(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            const qsizetype length = index + 1 + qsizetype(header >> 1);
            return length <= available ? std::optional(length) : std::nullopt;
        }
    }
    return std::nullopt;
}

QString Item::shown(qsizetype maxBytes) const
{
    const QByteArrayView text = utf8();
    if (text.size() <= maxBytes)
        return toString();
    qsizetype cut = maxBytes;
    while (cut > 0 && (quint8(text[cut]) & 0xC0) == 0x80) // not inside a character
        --cut;
    QString beginning;
    appendUtf16(text.first(cut), beginning);
    return beginning + QChar(0x2026);
}

bool appendWtf8(QStringView text, QByteArray &out)
{
    bool loneSurrogates = false;
    const qsizetype size = text.size();
    out.reserve(out.size() + size * 3);
    for (qsizetype index = 0; index < size; ++index) {
        char32_t c = text[index].unicode();
        if (QChar::isHighSurrogate(c) && index + 1 < size && text[index + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[index + 1].unicode());
            ++index;
        } else if (QChar::isSurrogate(c)) {
            loneSurrogates = true;
        }
        appendUtf8(c, out);
    }
    return loneSurrogates;
}

void appendUtf16(QByteArrayView wtf8, QString &out)
{
    out.reserve(out.size() + wtf8.size());
    forEachCharacter(wtf8, [&](char32_t c) {
        if (c >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(char16_t(c)));
        }
        return true;
    });
}
