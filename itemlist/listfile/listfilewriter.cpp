#include "listfile/listfilewriter.h"

#include "listfile/listformat.h"
#include "listfile/savetarget.h"
#include "listfile/textencoder.h"
#include "memory.h"
#include "order/parallel.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace
{
// Appends item as a line of a list file, quoted or not, in encoding.
void appendLine(QByteArrayView item, bool quote, TextEncoding encoding, std::string &out)
{
    if (isUtf8(encoding) && !quote) { // most lines, most often: copied as they are
        out.reserve(out.size() + size_t(item.size()) + 2); // one growth, for a huge item
        out.append(item.data(), size_t(item.size())).append("\r\n");
        return;
    }
    if (quote) {
        QByteArray quoted = item.toByteArray();
        quoted.replace('"', "\"\"");
        appendEncoded("\"", encoding, out);
        appendEncoded(quoted, encoding, out);
        appendEncoded("\"\r\n", encoding, out);
    } else {
        appendEncoded(item, encoding, out);
        appendEncoded("\r\n", encoding, out);
    }
}

// Whether a file in encoding that starts with line would read back as one with a
// byte-order mark it does not have (U+FEFF first in UTF-8, "ÿþ" in Windows-1252).
bool startsLikeAMark(QByteArrayView line, TextEncoding encoding)
{
    if (!byteOrderMark(encoding).isEmpty())
        return false;
    for (const TextEncoding marked :
         {TextEncoding::Utf8WithMark, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        if (line.startsWith(byteOrderMark(marked)))
            return true;
    }
    return false;
}

// Items formatted at a time by each thread: large enough to keep the threads busy, small
// enough that the formatted text stays a few megabytes.
constexpr qsizetype itemsPerPiece = 16 * 1024;

// Calls visit(item) for the items at places [from, to) of list in form's order that form
// writes: an item identical to the one before it is left out when form is unique.
template <typename Visit>
void forEachWritten(const SortedItemList &list, ListForm form, qsizetype from, qsizetype to,
                    Visit visit)
{
    const qsizetype count = list.count();
    const auto listPosition = [&](qsizetype place) {
        return form.reversed ? count - 1 - place : place;
    };
    const Item *previous = form.unique && from > 0 ? &list.item(listPosition(from - 1)) : nullptr;
    const auto take = [&](const Item &item) {
        if (previous && previous->utf8() == item.utf8())
            return;
        if (form.unique)
            previous = &item;
        visit(item);
    };
    if (!form.reversed) {
        list.forEachItem(from, to, take);
        return;
    }
    // Backwards a piece at a time, since the list is read forwards.
    std::vector<const Item *> piece;
    for (qsizetype end = to; end > from;) {
        const qsizetype begin = std::max(from, end - itemsPerPiece);
        piece.clear();
        list.forEachItem(count - end, count - begin,
                         [&](const Item &item) { piece.push_back(&item); });
        for (auto item = piece.rbegin(); item != piece.rend(); ++item)
            take(**item);
        end = begin;
    }
}

// Appends the line of item to out; startsFile when it is the file's first line.
void appendItemLine(const Item &item, bool startsFile, TextEncoding encoding, std::string &out)
{
    const QByteArrayView text = item.utf8();
    const size_t start = out.size();
    appendLine(text, listformat::needsQuotes(text), encoding, out);
    // Quotes keep the characters of a first item that looks like a mark in the item.
    if (startsFile && start == 0 && startsLikeAMark(QByteArrayView(out), encoding)) {
        out.clear();
        appendLine(text, true, encoding, out);
    }
}

// Appends the lines that form writes for the items at places [from, to) to out.
void appendLines(const SortedItemList &list, ListForm form, qsizetype from, qsizetype to,
                 TextEncoding encoding, std::string &out)
{
    bool startsFile = from == 0;
    forEachWritten(list, form, from, to, [&](const Item &item) {
        appendItemLine(item, std::exchange(startsFile, false), encoding, out);
    });
}

// Writes all of bytes; a short write is retried, so that a failure reports the system's
// reason rather than none.
bool writeAll(QIODevice &device, QByteArrayView bytes, QString &errorString)
{
    while (!bytes.isEmpty()) {
        const qint64 written = device.write(bytes.data(), bytes.size());
        if (written <= 0) {
            errorString = device.errorString();
            return false;
        }
        bytes = bytes.sliced(written);
    }
    return true;
}
} // namespace

bool canWrite(const Item &item, TextEncoding encoding)
{
    if (isUtf16(encoding))
        return true;
    if (encoding != TextEncoding::Windows1252)
        return !item.hasLoneSurrogates();
    return canEncode(item.utf8(), encoding);
}

qsizetype firstUnwritableItem(const SortedItemList &list, TextEncoding encoding, ListForm form)
{
    if (isUtf16(encoding) ||
        (encoding != TextEncoding::Windows1252 && list.loneSurrogateCount() == 0))
        return -1;
    qsizetype line = 0;
    qsizetype found = -1;
    forEachWritten(list, form, 0, list.count(), [&](const Item &item) {
        if (found < 0 && !canWrite(item, encoding))
            found = line;
        ++line;
    });
    return found;
}

TextEncoding encodingForSaving(const SortedItemList &list, TextEncoding preferred)
{
    for (const TextEncoding encoding : {preferred, TextEncoding::Utf8}) {
        if (firstUnwritableItem(list, encoding) < 0)
            return encoding;
    }
    return TextEncoding::Utf16LE;
}

bool writeListItems(QIODevice &device, const SortedItemList &list, TextEncoding encoding,
                    QString &errorString, ListForm form)
{
    if (!writeAll(device, byteOrderMark(encoding), errorString))
        return false;
    const qsizetype count = list.count();
    const int threads = threadCountFor(count, itemsPerPiece);
    std::vector<std::string> pieces(static_cast<size_t>(threads));
    for (qsizetype start = 0; start < count; start += threads * itemsPerPiece) {
        runInParallel(threads, [&](int part) {
            const qsizetype from = std::min(count, start + part * itemsPerPiece);
            pieces[size_t(part)].clear();
            appendLines(list, form, from, std::min(count, from + itemsPerPiece), encoding,
                        pieces[size_t(part)]);
        });
        for (const std::string &piece : pieces) {
            if (!writeAll(device, QByteArrayView(piece.data(), qsizetype(piece.size())),
                          errorString))
                return false;
        }
    }
    return true;
}

bool writeListItems(QIODevice &device, const ItemChunks &chunks, TextEncoding encoding,
                    QString &errorString)
{
    if (!writeAll(device, byteOrderMark(encoding), errorString))
        return false;
    std::vector<ItemEntry> chunk;
    std::vector<std::string> pieces;
    for (bool first = true;; first = false) {
        if (!chunks(chunk, errorString))
            return false;
        if (chunk.empty())
            return true;
        const auto count = qsizetype(chunk.size());
        const int threads = threadCountFor(count, itemsPerPiece);
        pieces.resize(size_t(threads));
        runInParallel(threads, [&](int part) {
            std::string &piece = pieces[size_t(part)];
            piece.clear();
            const qsizetype end = partBegin(count, threads, part + 1);
            for (qsizetype index = partBegin(count, threads, part); index < end; ++index)
                appendItemLine(*chunk[size_t(index)].item, first && index == 0, encoding, piece);
        });
        for (const std::string &piece : pieces) {
            if (!writeAll(device, QByteArrayView(piece.data(), qsizetype(piece.size())),
                          errorString))
                return false;
        }
    }
}

std::optional<qsizetype> firstUnwritableItem(const ItemChunks &chunks, TextEncoding encoding,
                                             QString &errorString)
{
    std::vector<ItemEntry> chunk;
    for (qsizetype line = 0;;) {
        if (!chunks(chunk, errorString))
            return std::nullopt;
        if (chunk.empty())
            return -1;
        for (const ItemEntry &entry : chunk) {
            if (!canWrite(*entry.item, encoding))
                return line;
            ++line;
        }
    }
}

namespace
{
// Replaces the file at path with what write writes to it.
template <typename Write>
bool saveWith(const QString &path, platform::ReaderWait wait, QString &errorString,
              const Write &write)
{
    try {
        SaveTarget target(wait);
        if (!target.open(path)) {
            errorString = target.errorString();
            return false;
        }
        if (!write(target.device()))
            return false;
        if (!target.commit()) {
            errorString = target.errorString();
            return false;
        }
        return true;
    } catch (const std::bad_alloc &) {
        errorString = notEnoughMemory();
        return false;
    }
}
} // namespace

bool saveListFile(const QString &path, const SortedItemList &list, TextEncoding encoding,
                  QString &errorString, ListForm form, platform::ReaderWait wait)
{
    return saveWith(path, wait, errorString, [&](QIODevice &device) {
        return writeListItems(device, list, encoding, errorString, form);
    });
}

bool saveListFile(const QString &path, const ItemChunks &chunks, TextEncoding encoding,
                  QString &errorString)
{
    return saveWith(path, platform::ReaderWait::Wait, errorString, [&](QIODevice &device) {
        return writeListItems(device, chunks, encoding, errorString);
    });
}
