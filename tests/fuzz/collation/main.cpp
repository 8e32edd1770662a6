// Takes the first byte as the choice of a locale and the rest as two UTF-8 texts split at
// the first 0xFF byte, and checks that the primary weights Collation works out for each are
// ICU's in that locale, normalization on, and that Collation orders the two as ICU's
// collation does, then by UTF-16 code units.

#include "../localecollations.h"
#include "storage/arena.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto [icu, collation] = localeCollations(data[0]);
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype split = bytes.indexOf('\xff');
    const QString texts[] = {
        QString::fromUtf8(split < 0 ? bytes : bytes.first(split)),
        QString::fromUtf8(split < 0 ? QByteArrayView() : bytes.sliced(split + 1))};
    for (const QString &text : texts) {
        if (!collatesAsDecomposed(icu, text))
            return 0;
    }
    Arena arena;
    const Item *items[2];
    QByteArray keys[2];
    for (int index = 0; index < 2; ++index) {
        items[index] = Item::create(arena, texts[index]);
        keys[index] = icuKey(icu, texts[index]);
        const QByteArray expected = keys[index].first(keys[index].indexOf('\x01'));
        std::vector<quint8> weights(size_t(expected.size()) + 8); // room to spare
        weights.resize(size_t(collation.writePrimaryWeights(*items[index], weights.data(),
                                                            qsizetype(weights.size()))));
        if (QByteArrayView(reinterpret_cast<const char *>(weights.data()),
                           qsizetype(weights.size())) != expected)
            std::abort();
    }
    const int byKey = keys[0].compare(keys[1]);
    const int expected = byKey != 0 ? byKey : texts[0].compare(texts[1]);
    const bool less = collation.less(collation.entryFor(items[0]), collation.entryFor(items[1]));
    const bool greater = collation.less(collation.entryFor(items[1]), collation.entryFor(items[0]));
    if (less != (expected < 0) || greater != (expected > 0))
        std::abort();
    return 0;
}
