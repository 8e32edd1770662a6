#include "helptext.h"

#include <QStringList>

namespace
{
constexpr qsizetype lineWidth = 79;
constexpr qsizetype descriptionColumn = 24;

// "-o, --output=OUTPUT" for an option with a short and a long name and a value.
QString namesOf(const QCommandLineOption &option)
{
    QStringList names;
    QString longName;
    for (const QString &name : option.names()) {
        if (name.size() == 1)
            names.append(u'-' + name);
        else
            longName = u"--"_qs + name;
    }
    if (!option.valueName().isEmpty())
        longName += u'=' + option.valueName();
    names.append(longName);
    // Long names line up whether or not a short one comes first.
    return (names.size() == 1 ? u"      "_qs : u"  "_qs) + names.join(u", "_qs);
}

// text in lines of lineWidth at most, the first from firstColumn on, the others after indent.
QString wrapped(const QString &text, qsizetype indent, qsizetype firstColumn)
{
    QString lines;
    qsizetype column = firstColumn;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > lineWidth) {
            lines += u'\n' + QString(indent, u' ');
            column = indent;
        } else if (column > indent) {
            lines += u' ';
            ++column;
        }
        lines += word;
        column += word.size();
    }
    return lines;
}
} // namespace

QString helpText(const QString &description, const QList<QCommandLineOption> &options)
{
    QString text =
        u"Usage: listsort [OPTION]... [FILE]...\n"_qs + wrapped(description, 0, 0) + u"\n\n"_qs;
    for (const QCommandLineOption &option : options) {
        QString entry = namesOf(option);
        if (entry.size() + 2 > descriptionColumn)
            entry += u'\n' + QString(descriptionColumn, u' ');
        else
            entry = entry.leftJustified(descriptionColumn);
        text += entry + wrapped(option.description(), descriptionColumn, descriptionColumn) + u'\n';
    }
    const QString exitStatus =
        u"Exit status: 0 when done, 1 when --check finds that saving would change the file, 2 "
        u"on trouble: a file that cannot be read or written, not enough memory, or a wrong "
        u"option."_qs;
    return text + u'\n' + wrapped(exitStatus, 0, 0) + u'\n';
}
