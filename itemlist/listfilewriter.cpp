#include "listfile.h"
#include "savetarget.h"

#include <QStringEncoder>

#include <new>

namespace
{
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Whether the reader would split or change item if it were written as it is.
bool needsQuotes(QStringView item)
{
    return !item.isEmpty() && (item.contains(u',') || item.front() == u'"' ||
                               isBlank(item.front()) || isBlank(item.back()));
}

// Whether a file without a byte-order mark whose first item is item would start like one
// with a mark (U+FEFF in UTF-8, "ÿþ" in Windows-1252) and read back as such. Quotes keep
// those characters in the item.
bool startsLikeAMark(QStringView item, TextEncoding encoding)
{
    if (!byteOrderMark(encoding).isEmpty())
        return false;
    const QByteArray start =
        encoderFor(encoding).encode(item.first(std::min<qsizetype>(3, item.size())));
    for (const TextEncoding marked :
         {TextEncoding::Utf8WithMark, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        if (start.startsWith(byteOrderMark(marked)))
            return true;
    }
    return false;
}

QString quoted(QStringView item)
{
    QString line = item.toString();
    line.replace(u'"', QStringLiteral("\"\""));
    return u'"' + line + u'"';
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

constexpr qsizetype flushSize = 64 * 1024;
} // namespace

QString listFileLine(QStringView item)
{
    return needsQuotes(item) ? quoted(item) : item.toString();
}

qsizetype firstUnwritableItem(const SortedItemList &list, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE)
        return -1;
    QStringEncoder encoder = encoderFor(encoding);
    const auto canWrite = [&](QStringView item) {
        // A lone surrogate exists only in UTF-16. Windows-1252 has 256 characters, and only
        // encoding tells whether it has every one; a failure sets the encoder's error.
        if (!item.isValidUtf16())
            return false;
        if (encoding == TextEncoding::Windows1252)
            (void)QByteArray(encoder.encode(item));
        return !encoder.hasError();
    };
    qsizetype position = 0;
    qsizetype found = -1;
    list.forEach([&](QStringView item) {
        if (found < 0 && !canWrite(item))
            found = position;
        ++position;
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
                    QString &errorString)
{
    QStringEncoder encoder = encoderFor(encoding);
    QString text;
    text.reserve(flushSize + 256);
    const auto flush = [&] {
        const QByteArray bytes = encoder.encode(text);
        text.clear();
        return writeAll(device, bytes, errorString);
    };
    bool ok = writeAll(device, byteOrderMark(encoding), errorString);
    bool first = true;
    list.forEach([&](QStringView item) {
        if (!ok)
            return;
        if (needsQuotes(item) || (first && startsLikeAMark(item, encoding)))
            text.append(quoted(item));
        else
            text.append(item);
        text.append(u"\r\n");
        first = false;
        if (text.size() >= flushSize)
            ok = flush();
    });
    return ok && flush();
}

bool saveListFile(const QString &path, const SortedItemList &list, TextEncoding encoding,
                  QString &errorString)
{
    try {
        SaveTarget target;
        if (!target.open(path)) {
            errorString = target.errorString();
            return false;
        }
        if (!writeListItems(target.device(), list, encoding, errorString))
            return false;
        if (!target.commit()) {
            errorString = target.errorString();
            return false;
        }
        return true;
    } catch (const std::bad_alloc &) {
        errorString = QStringLiteral("not enough memory");
        return false;
    }
}
