#include "listfile/encodingchoice.h"

#include "listfile/encoding/textencoder.h"
#include "parallel.h"

#include <algorithm>
#include <vector>

namespace
{
// Items that each thread looks at: fewer are quicker on one.
constexpr qsizetype itemsPerThread = 16 * 1024;
} // namespace

bool canWrite(const Item &item, TextEncoding encoding)
{
    if (isUtf16(encoding))
        return true;
    if (item.hasLoneSurrogates())
        return false;
    return !isCodePage(encoding) || canEncode(item.utf8(), encoding);
}

QString unwritableReason(qsizetype line, TextEncoding encoding)
{
    return QStringLiteral("the item on line %1 has characters that %2 cannot represent")
        .arg(line + 1)
        .arg(nameOf(encoding));
}

std::optional<qsizetype> firstUnwritableItem(ItemStream items, TextEncoding encoding,
                                             QString &errorString)
{
    std::vector<ItemEntry> chunk;
    for (qsizetype line = 0;;) {
        if (!items.next(chunk, errorString))
            return std::nullopt;
        if (chunk.empty())
            return -1;
        // Each thread finds the first item of its part that cannot be written.
        const auto count = qsizetype(chunk.size());
        const int threads = threadCountFor(count, itemsPerThread);
        std::vector<qsizetype> firsts(size_t(threads), count);
        runInParallel(threads, [&](int part) {
            const qsizetype end = partBegin(count, threads, part + 1);
            for (qsizetype index = partBegin(count, threads, part); index < end; ++index) {
                if (!canWrite(*chunk[size_t(index)].item, encoding)) {
                    firsts[size_t(part)] = index;
                    return;
                }
            }
        });
        const qsizetype first = *std::ranges::min_element(firsts);
        if (first < count)
            return line + first;
        line += count;
    }
}

std::optional<TextEncoding> encodingToWrite(const ItemsToWrite &items, TextEncoding preferred,
                                            std::optional<TextEncoding> required,
                                            QString &errorString)
{
    // Only a code page needs a look at every item; UTF-8 cannot write lone surrogates.
    const auto firstUnwritable = [&](TextEncoding encoding) -> std::optional<qsizetype> {
        if (isUtf16(encoding) || encoding == items.allReadIn ||
            (!isCodePage(encoding) && items.loneSurrogates == 0))
            return -1;
        return firstUnwritableItem(items.open(), encoding, errorString);
    };
    if (required) {
        const auto line = firstUnwritable(*required);
        if (line && *line >= 0)
            errorString = unwritableReason(*line, *required);
        return line && *line < 0 ? required : std::nullopt;
    }
    for (const TextEncoding encoding : {preferred, TextEncoding::Utf8}) {
        const auto line = firstUnwritable(encoding);
        if (!line)
            return std::nullopt;
        if (*line < 0)
            return encoding;
    }
    return TextEncoding::Utf16LE;
}
