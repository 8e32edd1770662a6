#include "run.h"

#include "platform.h"

#include <cstdio>

QString quotedName(const QString &path)
{
    return u'\'' + platform::shownFileName(path) + u'\'';
}

QString inputName(const QString &path)
{
    return path == standardStream ? QStringLiteral("standard input") : quotedName(path);
}

int complain(const char *what, const QString &name, const QString &reason)
{
    std::fprintf(stderr, "listsort: cannot %s %s: %s\n", what, qPrintable(name),
                 qPrintable(reason));
    return failure;
}

QString unwritableReason(qsizetype line, TextEncoding encoding)
{
    return QStringLiteral("the item on line %1 has characters that %2 cannot represent")
        .arg(line + 1)
        .arg(nameOf(encoding));
}

std::optional<TextEncoding> encodingToWrite(const SortedItemList &list, const Request &request,
                                            TextEncoding read, QString &reason)
{
    if (!request.encoding)
        return encodingForSaving(list, read);
    const qsizetype line = firstUnwritableItem(list, *request.encoding, request.form);
    if (line < 0)
        return request.encoding;
    reason = unwritableReason(line, *request.encoding);
    return std::nullopt;
}

std::optional<TextEncoding> encodingToWrite(const std::function<ItemChunks()> &merge,
                                            qsizetype loneSurrogates, const Request &request,
                                            TextEncoding read, QString &reason)
{
    // Only Windows-1252 needs a look at every item; UTF-8 cannot write lone surrogates.
    const auto firstUnwritable = [&](TextEncoding encoding) -> std::optional<qsizetype> {
        if (isUtf16(encoding) || (encoding != TextEncoding::Windows1252 && loneSurrogates == 0))
            return -1;
        return firstUnwritableItem(merge(), encoding, reason);
    };
    if (request.encoding) {
        const auto line = firstUnwritable(*request.encoding);
        if (line && *line >= 0)
            reason = unwritableReason(*line, *request.encoding);
        return line && *line < 0 ? request.encoding : std::nullopt;
    }
    for (const TextEncoding encoding : {read, TextEncoding::Utf8}) {
        const auto line = firstUnwritable(encoding);
        if (!line)
            return std::nullopt;
        if (*line < 0)
            return encoding;
    }
    return TextEncoding::Utf16LE;
}
