#include "messages.h"

#include "platform.h"
#include "request.h"

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
