#include "commandline.h"

#include "budget.h"
#include "check.h"
#include "helptext.h"
#include "listfile.h"
#include "memory.h"
#include "messages.h"
#include "order/collationlocale.h"
#include "platform.h"
#include "request.h"
#include "runs/rangedmerge.h"
#include "sortfiles.h"
#include "version.h"

#include <QCommandLineParser>

#include <cstdio>
#include <exception>

namespace
{
const QString description = QStringLiteral(
    "Sorts the items of list files alphabetically and writes them one per line, in the "
    "encoding of the first FILE. Reads standard input when no FILE is given, or for -.");

// listsort's options, in the order --help lists them.
struct Options {
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Write to OUTPUT instead of standard output; OUTPUT may be an input."),
        QStringLiteral("OUTPUT")};
    QCommandLineOption encoding{QStringLiteral("encoding"),
                                QStringLiteral("Write in ENCODING: %1.").arg(namesOfEncodings()),
                                QStringLiteral("ENCODING")};
    QCommandLineOption inputEncoding{
        QStringLiteral("input-encoding"),
        QStringLiteral("Read every FILE without a byte-order mark in ENCODING, for a file whose "
                       "code page is guessed wrong. Without it, a FILE that is not UTF-8 is read "
                       "in the code page that its bytes show, else in the Windows code page of "
                       "the language of LC_ALL, else LC_CTYPE, else LANG, else in "
                       "windows-1252."),
        QStringLiteral("ENCODING")};
    QCommandLineOption check{
        {QStringLiteral("c"), QStringLiteral("check")},
        QStringLiteral("Write nothing; exit 0 when saving the one FILE would give back its "
                       "bytes, else 1, naming the first line out of order or that saving "
                       "would change.")};
    QCommandLineOption locale{
        QStringLiteral("locale"),
        QStringLiteral("Sort in the alphabetical order of locale NAME: a POSIX name "
                       "(sv_SE.UTF-8), an ICU name or BCP 47 tag (sv, de-u-co-phonebk), or "
                       "root, the order that is the same everywhere. Without it, the order is "
                       "that of the locale in LC_ALL, else LC_COLLATE, else LANG; C, POSIX "
                       "and a locale without collation data give root."),
        QStringLiteral("NAME")};
    QCommandLineOption unique{
        {QStringLiteral("u"), QStringLiteral("unique")},
        QStringLiteral("Write one item of each run of identical items; \"a\" and \"A\" both "
                       "stay.")};
    QCommandLineOption reverse{{QStringLiteral("r"), QStringLiteral("reverse")},
                               QStringLiteral("Write the items in reverse order.")};
    QCommandLineOption memory{
        {QStringLiteral("S"), QStringLiteral("buffer-size")},
        QStringLiteral("Use at most SIZE of memory, sorting a larger list in runs in temporary "
                       "files: kibibytes, or a number with b, K, M, G or T, or % of physical "
                       "memory (500M, 2G, 40%). Without it, three quarters of the memory "
                       "available."),
        QStringLiteral("SIZE")};
    QCommandLineOption temporary{{QStringLiteral("T"), QStringLiteral("temporary-directory")},
                                 QStringLiteral("Keep temporary files in DIR, not in $TMPDIR or "
                                                "/tmp."),
                                 QStringLiteral("DIR")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};

    [[nodiscard]] QList<QCommandLineOption> all() const
    {
        return {output,  encoding, inputEncoding, check, locale, unique,
                reverse, memory,   temporary,     help,  version};
    }
};

int usageError(const QString &message)
{
    std::fprintf(stderr, "listsort: %s\nTry 'listsort --help'.\n", qPrintable(message));
    return failure;
}

// The order that --locale names, or the environment's. The environment's locale is looked up
// only when no --locale overrides it: checking a name opens a collation.
std::optional<CollationLocale> orderAsked(const QCommandLineParser &parser, const Options &options)
{
    if (!parser.isSet(options.locale))
        return collationLocaleFromEnvironment();
    const QString name = parser.value(options.locale);
    const auto locale = collationLocaleNamed(name.toUtf8());
    if (!locale) {
        std::fprintf(stderr, "listsort: unknown locale '%s'\n", qPrintable(name));
        return std::nullopt;
    }
    return CollationLocale{*locale, QByteArrayLiteral("--locale")};
}

int showHelp(const Options &options, const CollationLocale &order)
{
    std::fputs(qPrintable(helpText(description, options.all())), stdout);
    std::printf("\nOrder: %s, %s\n", order.name.constData(),
                order.source.isEmpty() ? "as no locale is set"
                                       : ("from " + order.source).constData());
    return 0;
}

// The request the options ask for; empty once a usage error has been told.
std::optional<Request> requestAsked(const QCommandLineParser &parser, const Options &options,
                                    const CollationLocale &order)
{
    Request request{std::nullopt,
                    std::nullopt,
                    order.name,
                    {parser.isSet(options.reverse), parser.isSet(options.unique)},
                    {},
                    parser.isSet(options.temporary) ? parser.value(options.temporary)
                                                    : platform::temporaryFolder()};
    const auto budget = parser.isSet(options.memory)
                            ? memoryBudgetNamed(parser.value(options.memory))
                            : std::optional(defaultMemoryBudget());
    if (!budget) {
        usageError(QStringLiteral("invalid memory size '%1'").arg(parser.value(options.memory)));
        return std::nullopt;
    }
    request.budget = budgetPlan(*budget, mergeThreadCount());
    for (const auto &[option, encoding] :
         {std::pair(&options.encoding, &request.encoding),
          std::pair(&options.inputEncoding, &request.inputEncoding)}) {
        if (!parser.isSet(*option))
            continue;
        *encoding = textEncodingNamed(parser.value(*option));
        if (!*encoding) {
            usageError(QStringLiteral("unknown encoding '%1'; use %2")
                           .arg(parser.value(*option), namesOfEncodings()));
            return std::nullopt;
        }
    }
    return request;
}
} // namespace

int runCommandLine(const QStringList &arguments)
{
    const Options options;
    QCommandLineParser parser;
    parser.addOptions(options.all());
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("List files to sort."),
                                 QStringLiteral("[FILE...]"));
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const auto order = orderAsked(parser, options);
    if (!order)
        return failure;
    if (parser.isSet(options.help))
        return showHelp(options, *order);
    if (parser.isSet(options.version)) {
        std::printf("listsort %s\n", AppVersion::display);
        return 0;
    }
    const auto request = requestAsked(parser, options, *order);
    if (!request)
        return failure;

    QStringList inputs = parser.positionalArguments();
    if (inputs.isEmpty())
        inputs.append(standardStream);
    const bool checking = parser.isSet(options.check);
    if (checking && (inputs.size() > 1 || parser.isSet(options.output)))
        return usageError(QStringLiteral("--check takes one FILE and no --output"));
    // Memory that runs out while checking is named after the file checked; a sort names
    // what it was doing itself, and this is for what fails before it starts.
    try {
        if (checking)
            return check(inputs.constFirst(), *request);
        return sortFiles(inputs,
                         parser.isSet(options.output) ? std::optional(parser.value(options.output))
                                                      : std::nullopt,
                         *request);
    } catch (const std::exception &error) {
        if (checking)
            return complain("read", inputName(inputs.constFirst()), reasonFor(error));
        std::fprintf(stderr, "listsort: %s\n", qPrintable(reasonFor(error)));
        return failure;
    }
}
