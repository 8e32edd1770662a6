// listsort: sorts list files from the command line, as the window does.

#include "listfile.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace
{
constexpr int failure = 2;

int complain(const char *what, const QString &path, const QString &reason)
{
    std::fprintf(stderr, "listsort: cannot %s '%s': %s\n", what, qPrintable(path),
                 qPrintable(reason));
    return failure;
}

bool readInput(const QString &path, ItemBatch &items, QString &errorString)
{
    ListFileReader reader;
    const bool ok =
        (path == u"-" ? reader.openStandardInput() : reader.open(path)) && reader.readAll(items);
    if (!ok)
        errorString = reader.errorString();
    return ok;
}

bool writeStandardOutput(const SortedItemList &list, QString &errorString)
{
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly)) {
        errorString = output.errorString();
        return false;
    }
    if (!writeListItems(output, list, errorString))
        return false;
    if (!output.flush()) {
        errorString = output.errorString();
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("listsort"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppVersion::display));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sorts the items of list files alphabetically and writes them one per line.\n"
        "Reads standard input when no FILE is given, or for -."));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to OUTPUT instead of standard output; OUTPUT may be an input."),
        QStringLiteral("OUTPUT"));
    parser.addOption(outputOption);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("List files to sort."),
                                 QStringLiteral("[FILE...]"));
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "listsort: %s\nTry 'listsort --help'.\n",
                     qPrintable(parser.errorText()));
        return failure;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("listsort %s\n", AppVersion::display);
        return 0;
    }

    QStringList inputs = parser.positionalArguments();
    if (inputs.isEmpty())
        inputs.append(QStringLiteral("-"));
    ItemBatch items;
    QString reason;
    for (const QString &input : inputs) {
        if (!readInput(input, items, reason))
            return complain("read", input, reason);
    }
    SortedItemList list;
    list.insert(std::move(items));

    if (!parser.isSet(outputOption))
        return writeStandardOutput(list, reason) ? 0
                                                 : complain("write", QStringLiteral("-"), reason);
    const QString output = parser.value(outputOption);
    return saveListFile(output, list, reason) ? 0 : complain("write", output, reason);
}
