// Sorts items made from the bytes, many of them long, and checks that the list comes out in
// ICU's order. The first byte chooses a locale; the rest is UTF-8 items split at 0xFF bytes,
// in which 0xFE and a count byte n repeat the character before them 64 (n + 1) times, so
// that a short input holds runs of thousands of marks. The list is sorted as a
// batch and by single inserts; each item next to another is checked against ICU's sort keys,
// then the code units, where the texts are short enough for ICU to take moments over them,
// and against the other way of sorting everywhere. Run with a time limit for each input
// (libFuzzer's -timeout), so that a text whose order takes time beyond linear is a finding.

#include "../localecollations.h"
#include "sorteditemlist.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace
{
// All items together stay within this many code points, and ICU is held to items of up to
// the second, whose time grows with the square of their runs of marks.
constexpr qsizetype mostCharacters = 256 * 1024;
constexpr qsizetype longestChecked = 1024;

// The item that part spells, within room characters, unless it ran out of room.
QString itemOf(QByteArrayView part, qsizetype room)
{
    QString item;
    qsizetype from = 0;
    for (qsizetype escape; (escape = part.indexOf('\xfe', from)) >= 0; from = escape + 2) {
        item += QString::fromUtf8(part.sliced(from, escape - from));
        if (item.isEmpty() || escape + 1 == part.size())
            continue;
        const QString last =
            item.back().isLowSurrogate() && item.size() > 1 ? item.last(2) : item.last(1);
        item += last.repeated(std::clamp<qsizetype>((room - item.size()) / last.size(), 0,
                                                    64 * (quint8(part[escape + 1]) + 1)));
    }
    if (from < part.size())
        item += QString::fromUtf8(part.sliced(from));
    return item;
}

QStringList itemsOf(QByteArrayView bytes)
{
    QStringList items;
    qsizetype characters = 0;
    for (qsizetype from = 0; from <= bytes.size() && characters < mostCharacters;) {
        qsizetype end = bytes.indexOf('\xff', from);
        if (end < 0)
            end = bytes.size();
        items.append(itemOf(bytes.sliced(from, end - from), mostCharacters - characters));
        characters += items.back().size();
        from = end + 1;
    }
    return items;
}

QStringList textsOf(const SortedItemList &list)
{
    QStringList texts;
    list.forEach([&](QStringView text) { texts.append(text.toString()); });
    return texts;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto [icu, collation] = localeCollations(data[0]);
    const QStringList items =
        itemsOf(QByteArrayView(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));

    SortedItemList batched(collation);
    SortedItemList single(collation);
    ItemBatch batch;
    for (const QString &item : items) {
        batch.append(item);
        single.insert(item);
    }
    batched.insert(std::move(batch));
    const QStringList sorted = textsOf(batched);
    if (textsOf(single) != sorted)
        std::abort();
    for (qsizetype index = 1; index < sorted.size(); ++index) {
        const QString &before = sorted[index - 1];
        const QString &after = sorted[index];
        if (before.size() > longestChecked || after.size() > longestChecked ||
            !collatesAsDecomposed(icu, before) || !collatesAsDecomposed(icu, after))
            continue;
        const int byKey = icuKey(icu, before).compare(icuKey(icu, after));
        if (byKey > 0 || (byKey == 0 && before > after))
            std::abort();
    }
    return 0;
}
