// Reads the bytes as a list file, checking that (1) reading them in small pieces, in rounds
// small enough that rounds and the pieces split among the cores end inside items and at the
// last one, gives the same items, also in a single-byte and a double-byte code page given as
// the input encoding, where it fails at the same line; and (2) saving the items and reading
// the saved file gives them back, and a second save writes the same bytes as the first.
// Windows-1252 text that happens to be valid UTF-8 reads back as UTF-8, so (2) holds only
// where the saved file keeps its encoding.

#include "listfile.h"
#include "sorteditemlist.h"

#include <QBuffer>

#include <algorithm>
#include <cstdlib>

namespace
{
struct Reading {
    bool ok;
    std::optional<TextEncoding> encoding;
    QStringList items;
    QString errorString;
};

Reading read(const QByteArray &bytes, qsizetype piece, qsizetype round = ListFileReader::roundBytes,
             std::optional<TextEncoding> input = std::nullopt)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    ListFileReader reader;
    reader.setRoundBytes(round);
    if (input)
        reader.setInputEncoding(*input);
    ItemBatch batch;
    bool ok = reader.open(std::move(buffer));
    while (ok && !reader.atEnd()) {
        ok = reader.read(batch, piece);
        if (!ok && reader.startedOver()) { // not UTF-8 after all: read again from the start
            batch = ItemBatch();
            ok = true;
        }
    }
    QStringList items;
    for (qsizetype index = 0; index < batch.size(); ++index)
        items.append(batch.at(index));
    return {ok, reader.encoding(), items, reader.errorString()};
}

QByteArray save(const QStringList &items, TextEncoding &encoding)
{
    SortedItemList list;
    for (const QString &item : items)
        list.insert(item);
    QString error;
    encoding = *encodingToWrite(itemsToWrite(list), encoding, std::nullopt, error);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!writeListItems(buffer, list.stream(), encoding, error))
        std::abort();
    return buffer.data();
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return quint8(byte) < 0x80; });
}

QStringList sorted(const QStringList &items)
{
    SortedItemList list;
    for (const QString &item : items)
        list.insert(item);
    QStringList texts;
    list.forEach([&](QStringView text) { texts.append(text.toString()); });
    return texts;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const Reading whole = read(bytes, 1 << 20);
    const Reading pieces = read(bytes, 3, 16);
    if (whole.ok != pieces.ok || whole.items != pieces.items)
        std::abort();
    for (const char *name : {"windows-1251", "windows-932"}) {
        const TextEncoding codePage = *TextEncoding::codePageNamed(name);
        const Reading inWhole = read(bytes, 1 << 20, ListFileReader::roundBytes, codePage);
        const Reading inPieces = read(bytes, 3, 16, codePage);
        if (inWhole.ok != inPieces.ok || inWhole.errorString != inPieces.errorString ||
            (inWhole.ok && inWhole.items != inPieces.items))
            std::abort();
    }
    if (!whole.ok)
        return 0;

    TextEncoding used = *whole.encoding;
    const QByteArray saved = save(whole.items, used);
    const Reading again = read(saved, 1 << 20);
    if (!again.ok)
        std::abort();
    if (again.encoding != used && !isAscii(saved))
        return 0;
    if (again.items != sorted(whole.items))
        std::abort();
    TextEncoding usedAgain = *again.encoding;
    if (save(again.items, usedAgain) != saved)
        std::abort();
    return 0;
}
