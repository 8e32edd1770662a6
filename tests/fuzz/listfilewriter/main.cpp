// Takes the bytes as UTF-16 text, one item per line, and saves the items in every encoding
// that can write them all, checking that the saved file reads back as the same items.
// Windows-1252 text that happens to be valid UTF-8 reads back as UTF-8, so that case is
// left out.

#include "listfile.h"
#include "sorteditemlist.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringView text(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    SortedItemList list;
    // Items never hold a line end: the reader ends them there, and Add turns them to spaces.
    for (const QStringView item : text.tokenize(u'\n'))
        list.insert(item.toString().replace(u'\r', u' '));
    QStringList items;
    list.forEach([&](QStringView item) { items.append(item.toString()); });

    for (const TextEncoding encoding :
         {TextEncoding::Utf8, TextEncoding::Utf8WithMark, TextEncoding::Utf16LE,
          TextEncoding::Utf16BE, TextEncoding::Windows1252}) {
        QString error;
        if (firstUnwritableItem(list.stream(), encoding, error) >= 0)
            continue;
        QBuffer saved;
        saved.open(QIODevice::WriteOnly);
        if (!writeListItems(saved, list.stream(), encoding, error))
            std::abort();
        if (encoding == TextEncoding::Windows1252 && saved.data().isValidUtf8())
            continue;
        ListFileReader reader;
        ItemBatch batch;
        auto device = std::make_unique<QBuffer>();
        device->setData(saved.data());
        device->open(QIODevice::ReadOnly);
        if (!reader.open(std::move(device)) || !reader.readAll(batch))
            std::abort();
        QStringList readBack;
        for (qsizetype index = 0; index < batch.size(); ++index)
            readBack.append(batch.at(index));
        if (readBack != items)
            std::abort();
    }
    return 0;
}
