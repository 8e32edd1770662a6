// listsort: sorts list files from the command line, as the window does.

#include "check.h"
#include "helptext.h"
#include "listfile.h"
#include "memory.h"
#include "order/collationlocale.h"
#include "progress.h"
#include "run.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <exception>
#include <new>
#include <thread>

namespace
{
int usageError(const QString &message)
{
    std::fprintf(stderr, "listsort: %s\nTry 'listsort --help'.\n", qPrintable(message));
    return failure;
}

// Reads the list files at paths ("-" for standard input) into one batch. encoding becomes the
// first file's. On failure returns the path that failed and sets reason.
std::optional<QString> readInputs(const QStringList &paths, ItemBatch &items,
                                  TextEncoding &encoding, QString &reason, Progress &progress)
{
    qint64 total = 0;
    for (const QString &path : paths)
        total = path == standardStream || total < 0 ? -1 : total + QFileInfo(path).size();
    progress.setPhase("reading", total);
    qint64 before = 0; // bytes of the files read before
    for (qsizetype index = 0; index < paths.size(); ++index) {
        ListFileReader reader;
        const bool ok =
            (paths[index] == standardStream ? reader.openStandardInput()
                                            : reader.open(paths[index])) &&
            reader.readAll(items, [&](qint64 bytesRead) { progress.setDone(before + bytesRead); });
        if (paths[index] != standardStream)
            before += QFileInfo(paths[index]).size();
        if (!ok) {
            reason = reader.errorString();
            return paths[index];
        }
        if (index == 0)
            encoding = reader.encoding().value_or(TextEncoding::Utf8);
    }
    return std::nullopt;
}

bool writeStandardOutput(const SortedItemList &list, TextEncoding encoding, ListForm form,
                         QString &reason)
{
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly)) {
        reason = output.errorString();
        return false;
    }
    try {
        if (!writeListItems(output, list, encoding, reason, form))
            return false;
    } catch (const std::bad_alloc &) {
        reason = notEnoughMemory();
        return false;
    }
    if (!output.flush()) {
        reason = output.errorString();
        return false;
    }
    return true;
}

// Sorts the list files at inputs into one list and writes it to output, or to standard
// output; see main().
int sortFiles(const QStringList &inputs, const std::optional<QString> &output,
              const Request &request)
{
    // The collation's tables take a few milliseconds to build: they are built while the
    // files are read. A failure there is reported as main() reports any other.
    std::optional<Collation> collation;
    std::exception_ptr collationFailure;
    std::jthread collationTables([&] {
        try {
            collation.emplace(request.locale);
        } catch (...) {
            collationFailure = std::current_exception();
        }
    });
    ItemBatch items;
    TextEncoding firstFileEncoding = TextEncoding::Utf8;
    QString reason;
    std::optional<Progress> progress(std::in_place);
    // The progress line is cleared before any message, and before standard output.
    const auto fail = [&](const char *what, const QString &path, const QString &why) {
        progress.reset();
        return complain(what, path, why);
    };
    if (const auto failed = readInputs(inputs, items, firstFileEncoding, reason, *progress))
        return fail("read", *failed, reason);
    progress->setPhase("sorting");
    collationTables.join();
    if (collationFailure)
        std::rethrow_exception(collationFailure);
    SortedItemList list(*collation);
    try {
        list.insert(std::move(items));
    } catch (const std::bad_alloc &) {
        return fail("read", inputs.constLast(), notEnoughMemory());
    }

    progress->setPhase("writing");
    const QString target = output.value_or(standardStream);
    // Nothing is written or replaced when the file would not hold every item.
    const auto encoding = encodingToWrite(list, request, firstFileEncoding, reason);
    if (!encoding)
        return fail("write", target, reason);
    if (!output)
        progress.reset();
    const bool written = output ? saveListFile(*output, list, *encoding, reason, request.form)
                                : writeStandardOutput(list, *encoding, request.form, reason);
    return written ? 0 : fail("write", target, reason);
}
} // namespace

int main(int argc, char *argv[])
{
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
                       "bytes, else 1, naming the first line it would change."));
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
    parser.addOptions(
        {outputOption, encodingOption, checkOption, localeOption, uniqueOption, reverseOption});
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    parser.addOptions({helpOption, versionOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("List files to sort."),
                                 QStringLiteral("[FILE...]"));
    if (!parser.parse(QCoreApplication::arguments()))
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
        std::fputs(qPrintable(helpText(description,
                                       {outputOption, encodingOption, checkOption, localeOption,
                                        uniqueOption, reverseOption, helpOption, versionOption})),
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
    Request request{
        std::nullopt, order.name, {parser.isSet(reverseOption), parser.isSet(uniqueOption)}};
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
    // Each step names its file when memory runs out; this is for anything else that fails.
    try {
        if (parser.isSet(checkOption))
            return check(inputs.constFirst(), request);
        return sortFiles(inputs,
                         parser.isSet(outputOption) ? std::optional(parser.value(outputOption))
                                                    : std::nullopt,
                         request);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "listsort: %s\n", qPrintable(notEnoughMemory()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "listsort: %s\n", error.what());
    }
    return failure;
}
