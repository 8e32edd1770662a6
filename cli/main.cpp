// listsort: sorts list files from the command line, as the window does.

#include "budget.h"
#include "check.h"
#include "helptext.h"
#include "listfile.h"
#include "memory.h"
#include "messages.h"
#include "order/collationlocale.h"
#include "platform.h"
#include "request.h"
#include "sortfiles.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <exception>

namespace
{
int usageError(const QString &message)
{
    std::fprintf(stderr, "listsort: %s\nTry 'listsort --help'.\n", qPrintable(message));
    return failure;
}

} // namespace

int main(int argc, char *argv[])
{
    platform::holdClosedStandardHandles();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("listsort"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppVersion::display));

    QCommandLineParser parser;
    const QString description = QStringLiteral(
        "Sorts the items of list files alphabetically and writes them one per line, in the "
        "encoding of the first FILE. Reads standard input when no FILE is given, or for -.");
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to OUTPUT instead of standard output; OUTPUT may be an input."),
        QStringLiteral("OUTPUT"));
    const QCommandLineOption encodingOption(
        QStringLiteral("encoding"),
        QStringLiteral("Write in ENCODING: %1.").arg(namesOfEncodings()),
        QStringLiteral("ENCODING"));
    const QCommandLineOption checkOption(
        {QStringLiteral("c"), QStringLiteral("check")},
        QStringLiteral("Write nothing; exit 0 when saving the one FILE would give back its "
                       "bytes, else 1, naming the first line out of order or that saving "
                       "would change."));
    const QCommandLineOption localeOption(
        QStringLiteral("locale"),
        QStringLiteral("Sort in the alphabetical order of locale NAME: a POSIX name "
                       "(sv_SE.UTF-8), an ICU name or BCP 47 tag (sv, de-u-co-phonebk), or "
                       "root, the order that is the same everywhere. Without it, the order is "
                       "that of the locale in LC_ALL, else LC_COLLATE, else LANG; C, POSIX "
                       "and a locale without collation data give root."),
        QStringLiteral("NAME"));
    const QCommandLineOption uniqueOption(
        {QStringLiteral("u"), QStringLiteral("unique")},
        QStringLiteral("Write one item of each run of identical items; \"a\" and \"A\" both "
                       "stay."));
    const QCommandLineOption reverseOption({QStringLiteral("r"), QStringLiteral("reverse")},
                                           QStringLiteral("Write the items in reverse order."));
    const QCommandLineOption memoryOption(
        {QStringLiteral("S"), QStringLiteral("buffer-size")},
        QStringLiteral("Use at most SIZE of memory, sorting a larger list in runs in temporary "
                       "files: kibibytes, or a number with b, K, M, G or T, or % of physical "
                       "memory (500M, 2G, 40%). Without it, three quarters of the memory "
                       "available."),
        QStringLiteral("SIZE"));
    const QCommandLineOption temporaryOption(
        {QStringLiteral("T"), QStringLiteral("temporary-directory")},
        QStringLiteral("Keep temporary files in DIR, not in $TMPDIR or /tmp."),
        QStringLiteral("DIR"));
    const QList<QCommandLineOption> options{outputOption, encodingOption, checkOption,
                                            localeOption, uniqueOption,   reverseOption,
                                            memoryOption, temporaryOption};
    parser.addOptions(options);
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    parser.addOptions({helpOption, versionOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("List files to sort."),
                                 QStringLiteral("[FILE...]"));
    // File names reach the system with the very bytes they were given as.
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(platform::fileNameFromNative(argv[index]));
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    // The environment's locale is looked up only when no --locale overrides it: checking a
    // name opens a collation.
    CollationLocale order;
    if (!parser.isSet(localeOption)) {
        order = collationLocaleFromEnvironment();
    } else {
        const QString name = parser.value(localeOption);
        const auto locale = collationLocaleNamed(name.toUtf8());
        if (!locale) {
            std::fprintf(stderr, "listsort: unknown locale '%s'\n", qPrintable(name));
            return failure;
        }
        order = {*locale, QByteArrayLiteral("--locale")};
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(helpText(description, options + QList{helpOption, versionOption})),
                   stdout);
        std::printf("\nOrder: %s, %s\n", order.name.constData(),
                    order.source.isEmpty() ? "as no locale is set"
                                           : ("from " + order.source).constData());
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("listsort %s\n", AppVersion::display);
        return 0;
    }
    Request request{std::nullopt,
                    order.name,
                    {parser.isSet(reverseOption), parser.isSet(uniqueOption)},
                    0,
                    parser.isSet(temporaryOption) ? parser.value(temporaryOption)
                                                  : platform::temporaryFolder()};
    if (parser.isSet(memoryOption)) {
        const auto budget = memoryBudgetNamed(parser.value(memoryOption));
        if (!budget)
            return usageError(
                QStringLiteral("invalid memory size '%1'").arg(parser.value(memoryOption)));
        request.memoryBudget = *budget;
    } else {
        request.memoryBudget = defaultMemoryBudget();
    }
    if (parser.isSet(encodingOption)) {
        request.encoding = textEncodingNamed(parser.value(encodingOption));
        if (!request.encoding)
            return usageError(QStringLiteral("unknown encoding '%1'; use %2")
                                  .arg(parser.value(encodingOption), namesOfEncodings()));
    }

    QStringList inputs = parser.positionalArguments();
    if (inputs.isEmpty())
        inputs.append(standardStream);
    if (parser.isSet(checkOption) && (inputs.size() > 1 || parser.isSet(outputOption)))
        return usageError(QStringLiteral("--check takes one FILE and no --output"));
    // Memory that runs out while checking is named after the file checked; a sort names
    // what it was doing itself, and this is for what fails before it starts.
    const bool checking = parser.isSet(checkOption);
    try {
        if (checking)
            return check(inputs.constFirst(), request);
        return sortFiles(inputs,
                         parser.isSet(outputOption) ? std::optional(parser.value(outputOption))
                                                    : std::nullopt,
                         request);
    } catch (const std::exception &error) {
        if (checking)
            return complain("read", inputName(inputs.constFirst()), reasonFor(error));
        std::fprintf(stderr, "listsort: %s\n", qPrintable(reasonFor(error)));
        return failure;
    }
}
