#include "run.h"

#include <cstdio>

int complain(const char *what, const QString &path, const QString &reason)
{
    std::fprintf(stderr, "listsort: cannot %s '%s': %s\n", what, qPrintable(path),
                 qPrintable(reason));
    return failure;
}

std::optional<TextEncoding> encodingToWrite(const SortedItemList &list, const Request &request,
                                            TextEncoding read, QString &reason)
{
    if (!request.encoding)
        return encodingForSaving(list, read);
    const qsizetype line = firstUnwritableItem(list, *request.encoding, request.form);
    if (line < 0)
        return request.encoding;
    reason = QStringLiteral("the item on line %1 has characters that %2 cannot represent")
                 .arg(line + 1)
                 .arg(nameOf(*request.encoding));
    return std::nullopt;
}
