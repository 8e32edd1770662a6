// Takes the bytes as two UTF-8 texts split at the first 0xFF byte, and checks that the
// primary weights Collation works out for each are ICU's, and that Collation orders the two
// as ICU's collation does, then by UTF-16 code units.

#include "order/collation.h"
#include "storage/arena.h"

#include <unicode/ucol.h>

#include <cstdlib>
#include <vector>

namespace
{
UCollator *openIcu()
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open("", &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    if (U_FAILURE(status))
        std::abort();
    return collator;
}

QByteArray icuKey(UCollator *icu, const QString &text)
{
    const auto *units = reinterpret_cast<const UChar *>(text.utf16());
    QByteArray key(ucol_getSortKey(icu, units, int32_t(text.size()), nullptr, 0), '\0');
    ucol_getSortKey(icu, units, int32_t(text.size()), reinterpret_cast<uint8_t *>(key.data()),
                    int32_t(key.size()));
    return key;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static UCollator *const icu = openIcu();
    static const Collation collation;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\xff');
    const QString texts[] = {
        QString::fromUtf8(split < 0 ? bytes : bytes.first(split)),
        QString::fromUtf8(split < 0 ? QByteArrayView() : bytes.sliced(split + 1))};
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
