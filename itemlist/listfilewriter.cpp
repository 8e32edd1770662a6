#include "listfile.h"

#include <QSaveFile>
#include <QStringEncoder>

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

constexpr qsizetype flushSize = 64 * 1024;
} // namespace

QString listFileLine(QStringView item)
{
    if (!needsQuotes(item))
        return item.toString();
    QString line = item.toString();
    line.replace(u'"', QStringLiteral("\"\""));
    return u'"' + line + u'"';
}

bool writeListItems(QIODevice &device, const SortedItemList &list, QString &errorString)
{
    QStringEncoder encoder(QStringConverter::Utf8);
    QString text;
    text.reserve(flushSize + 256);
    const auto flush = [&] {
        const QByteArray bytes = encoder.encode(text);
        text.clear();
        if (device.write(bytes) == bytes.size())
            return true;
        errorString = device.errorString();
        return false;
    };
    bool ok = true;
    list.forEach([&](QStringView item) {
        if (!ok)
            return;
        if (needsQuotes(item))
            text.append(listFileLine(item));
        else
            text.append(item);
        text.append(u"\r\n");
        if (text.size() >= flushSize)
            ok = flush();
    });
    if (!ok)
        return false;
    return flush();
}

bool saveListFile(const QString &path, const SortedItemList &list, QString &errorString)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        errorString = file.errorString();
        return false;
    }
    if (!writeListItems(file, list, errorString)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        errorString = file.errorString();
        return false;
    }
    return true;
}
