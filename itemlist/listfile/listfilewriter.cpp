#include "listfile/listfilewriter.h"

#include "listfile/encoding/textencoder.h"
#include "listfile/format/linesink.h"
#include "listfile/format/listformat.h"
#include "listfile/savetarget.h"
#include "memory.h"
#include "parallel.h"
#include "platform.h"

#include <algorithm>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace
{
// The first count characters of UTF-8 (or WTF-8) text, or all of it when shorter.
QByteArrayView firstCharacters(QByteArrayView text, int count)
{
    for (qsizetype index = 0; index < text.size(); ++index) {
        if ((quint8(text[index]) & 0xC0) != 0x80 && count-- == 0)
            return text.first(index);
    }
    return text;
}

// Whether a file in encoding that starts with line would read back as one with a
// byte-order mark it does not have (U+FEFF first in UTF-8, "ÿþ" in Windows-1252).
bool startsLikeAMark(QByteArrayView line, TextEncoding encoding)
{
    if (!byteOrderMark(encoding).isEmpty())
        return false;
    // No mark is longer than three bytes, which the first three characters at least make.
    std::string encoded;
    appendEncoded(firstCharacters(line, 3), encoding, encoded);
    for (const TextEncoding marked :
         {TextEncoding::Utf8WithMark, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        if (QByteArrayView(encoded).startsWith(byteOrderMark(marked)))
            return true;
    }
    return false;
}

// Items formatted at a time by each thread: large enough to keep the threads busy, small
// enough that the formatted text stays a few megabytes.
constexpr qsizetype itemsPerPiece = 16 * 1024;

// An item this long is written from where it lies, a slice at a time, rather than copied into
// a thread's piece: a huge item then takes no memory beyond its own.
constexpr qsizetype longItemBytes = 1 << 20;

// What one thread makes of its part of a chunk: the lines in the encoding, but for long items,
// which go at their places in them.
struct Piece {
    struct LongItem {
        size_t at; // in text
        const Item *item;
        bool startsFile;
    };
    std::string text;
    std::vector<LongItem> longItems;
};

// Whether the first line of a file, item, must be quoted.
bool needsQuotesFirst(QByteArrayView item, TextEncoding encoding)
{
    return listformat::needsQuotes(item) || startsLikeAMark(item, encoding);
}

// Appends the line of item in UTF-8 to lines; startsFile when it is the file's first line.
void appendItemLine(const Item &item, bool startsFile, TextEncoding encoding, LineSink &lines)
{
    const QByteArrayView text = item.utf8();
    // Quotes keep the characters of a first item that looks like a mark in the item.
    lines.appendLine(text,
                     startsFile ? needsQuotesFirst(text, encoding) : listformat::needsQuotes(text));
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

QString unencodableReason(TextEncoding encoding)
{
    return QStringLiteral("an item has characters that %1 cannot represent").arg(nameOf(encoding));
}

// Writes utf8 in encoding.
bool writeEncoded(QIODevice &device, QByteArrayView utf8, TextEncoding encoding,
                  std::string &scratch, QString &errorString)
{
    if (isUtf8(encoding))
        return writeAll(device, utf8, errorString);
    scratch.clear();
    if (!appendEncoded(utf8, encoding, scratch)) {
        errorString = unencodableReason(encoding);
        return false;
    }
    return writeAll(device, QByteArrayView(scratch.data(), qsizetype(scratch.size())), errorString);
}

// Writes the line of a long item from where it lies, a slice at a time, each cut between
// characters, quoted and encoded as it must be.
bool writeLongItem(QIODevice &device, const Item &item, bool startsFile, TextEncoding encoding,
                   QString &errorString)
{
    constexpr qsizetype sliceBytes = 1 << 20;
    QByteArrayView text = item.utf8();
    const bool quote =
        startsFile ? needsQuotesFirst(text, encoding) : listformat::needsQuotes(text);
    std::string scratch;
    if (quote && !writeEncoded(device, "\"", encoding, scratch, errorString))
        return false;
    while (!text.isEmpty()) {
        qsizetype length = std::min(text.size(), sliceBytes);
        while (length < text.size() && (quint8(text[length]) & 0xC0) == 0x80)
            --length;
        const QByteArray doubled =
            quote ? text.first(length).toByteArray().replace('"', "\"\"") : QByteArray();
        if (!writeEncoded(device, quote ? QByteArrayView(doubled) : text.first(length), encoding,
                          scratch, errorString))
            return false;
        text = text.sliced(length);
    }
    return writeEncoded(device, quote ? "\"\r\n" : "\r\n", encoding, scratch, errorString);
}

// Makes piece of the lines of items, in encoding; the first item is the file's first line when
// startsFile. encoded is the part's own room for the encoding, kept from piece to piece.
// Returns false when encoding cannot write an item.
bool formatPiece(std::span<const ItemEntry> items, bool startsFile, TextEncoding encoding,
                 Piece &piece, std::string &encoded)
{
    // The piece and its encoding grow apart from the other parts', which share their cache
    // lines.
    Piece made = std::move(piece);
    made.longItems.clear();
    // Items lie in list order, scattered in memory: each is asked for a few items ahead, so
    // that the wait for it overlaps the copying of those before it.
    constexpr size_t prefetchDistance = 8;
    {
        LineSink lines(made.text);
        for (size_t index = 0; index < items.size(); ++index) {
            if (index + prefetchDistance < items.size())
                platform::prefetch(items[index + prefetchDistance].item);
            const Item &item = *items[index].item;
            if (item.utf8().size() >= longItemBytes)
                made.longItems.push_back({lines.size(), &item, startsFile});
            else
                appendItemLine(item, startsFile, encoding, lines);
            startsFile = false;
        }
    }
    bool ok = true;
    // The lines are made in UTF-8 and converted a piece at a time, not a line at a time,
    // which would cost a call for each item; the places of long items with them.
    if (!isUtf8(encoding)) {
        std::string converted = std::move(encoded);
        converted.clear();
        const QByteArrayView text(made.text.data(), qsizetype(made.text.size()));
        size_t done = 0;
        for (Piece::LongItem &longItem : made.longItems) {
            ok = ok && appendEncoded(text.sliced(qsizetype(done), qsizetype(longItem.at - done)),
                                     encoding, converted);
            done = longItem.at;
            longItem.at = converted.size();
        }
        ok = ok && appendEncoded(text.sliced(qsizetype(done)), encoding, converted);
        std::swap(made.text, converted);
        encoded = std::move(converted);
    }
    piece = std::move(made);
    return ok;
}

// Writes piece, its long items at their places.
bool writePiece(QIODevice &device, const Piece &piece, TextEncoding encoding, QString &errorString)
{
    const QByteArrayView text(piece.text.data(), qsizetype(piece.text.size()));
    qsizetype written = 0;
    for (const Piece::LongItem &longItem : piece.longItems) {
        if (!writeAll(device, text.sliced(written, qsizetype(longItem.at) - written),
                      errorString) ||
            !writeLongItem(device, *longItem.item, longItem.startsFile, encoding, errorString))
            return false;
        written = qsizetype(longItem.at);
    }
    return writeAll(device, text.sliced(written), errorString);
}
} // namespace

bool writeListItems(QIODevice &device, ItemStream items, TextEncoding encoding,
                    QString &errorString)
{
    if (!writeAll(device, byteOrderMark(encoding), errorString))
        return false;
    std::vector<ItemEntry> chunk;
    std::vector<Piece> pieces;
    std::vector<std::string> encodedPieces;
    for (bool first = true;;) {
        if (!items.next(chunk, errorString))
            return false;
        if (chunk.empty())
            return true;
        // Each round gives each thread a piece of itemsPerPiece items at most, however large
        // the chunk, so that the pieces stay a few megabytes and keep their memory.
        for (std::span<const ItemEntry> rest(chunk); !rest.empty(); first = false) {
            const auto restCount = qsizetype(rest.size());
            const int threads = threadCountFor(restCount, itemsPerPiece);
            const qsizetype count = std::min(restCount, threads * itemsPerPiece);
            pieces.resize(std::max(pieces.size(), size_t(threads)));
            encodedPieces.resize(std::max(encodedPieces.size(), size_t(threads)));
            std::vector<quint8> encoded(size_t(threads), false); // by part: threads write
            runInParallel(threads, [&](int part) {
                const qsizetype from = partBegin(count, threads, part);
                const auto partItems =
                    rest.subspan(size_t(from), size_t(partBegin(count, threads, part + 1) - from));
                encoded[size_t(part)] =
                    formatPiece(partItems, first && from == 0, encoding, pieces[size_t(part)],
                                encodedPieces[size_t(part)]);
            });
            // The caller chose an encoding that writes every item: should one not, the file
            // is not written short of it.
            if (std::ranges::count(encoded, false) > 0) {
                errorString = unencodableReason(encoding);
                return false;
            }
            for (const Piece &piece : std::span(pieces).first(size_t(threads))) {
                if (!writePiece(device, piece, encoding, errorString))
                    return false;
            }
            rest = rest.subspan(size_t(count));
        }
    }
}

bool saveListFile(const QString &path, ItemStream items, TextEncoding encoding,
                  QString &errorString, platform::ReaderWait wait,
                  std::optional<FileVersion> *saved)
{
    try {
        SaveTarget target(wait);
        if (!target.open(path, saved != nullptr)) {
            errorString = target.errorString();
            return false;
        }
        if (!writeListItems(target.device(), std::move(items), encoding, errorString))
            return false;
        if (!target.commit()) {
            errorString = target.errorString();
            return false;
        }
        if (saved)
            *saved = target.savedVersion();
        return true;
    } catch (const std::bad_alloc &) {
        errorString = notEnoughMemory();
        return false;
    }
}
