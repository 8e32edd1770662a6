#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <functional>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace platform
{
namespace
{
QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// Where the link at path leads, made absolute; empty when path is no link.
QString readLink(const QString &path)
{
#if defined(Q_OS_UNIX)
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length =
        ::readlink(nativeFileName(path).constData(), target.data(), size_t(target.size()));
    if (length <= 0)
        return {};
    target.truncate(length);
    return absoluteClean(QFileInfo(path).absoluteDir().filePath(fileNameFromNative(target)));
#else
    const QFileInfo info(path);
    return info.isSymLink() ? absoluteClean(info.symLinkTarget()) : QString();
#endif
}

// Calls visit with path, made absolute, and with each path its chain of links leads to, in
// turn, until visit returns true; returns whether it did.
bool anyOnLinkChain(const QString &path, const std::function<bool(const QString &)> &visit)
{
    QString hop = absoluteClean(path);
    for (int links = 0; links < 40; ++links) {
        if (visit(hop))
            return true;
        hop = readLink(hop);
        if (hop.isEmpty())
            return false;
    }
    return false;
}
} // namespace

int handleNamed(const QString &path)
{
    static const QRegularExpression numbered(
        QStringLiteral("^/(?:dev/fd|proc/(?:self|thread-self|%1)/fd)/([0-9]+)$")
            .arg(QCoreApplication::applicationPid()));
    int handle = -1;
    anyOnLinkChain(path, [&](const QString &hop) {
        if (hop == u"/dev/stdout")
            handle = 1;
        else if (hop == u"/dev/stderr")
            handle = 2;
        else if (const QRegularExpressionMatch match = numbered.match(hop); match.hasMatch())
            handle = match.captured(1).toInt();
        return handle >= 0;
    });
    return handle;
}

QString linkTarget(const QString &path, QString &reason)
{
    QString target = path;
    for (int links = 0; links < 40; ++links) {
        const QString next = readLink(target);
        if (next.isEmpty())
            return target;
        target = next;
    }
    reason = systemReason(ELOOP);
    return {};
}
} // namespace platform
