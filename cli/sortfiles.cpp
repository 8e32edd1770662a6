#include "sortfiles.h"

#include "collationinbackground.h"
#include "listfile.h"
#include "listfile/savetarget.h"
#include "memory.h"
#include "messages.h"
#include "progress.h"
#include "readinputs.h"
#include "runstore.h"
#include "sorteditemlist.h"

#include <exception>
#include <new>

namespace
{
// Saves items to output, or writes them to standard output.
bool writeTo(const std::optional<QString> &output, ItemStream items, TextEncoding encoding,
             QString &reason)
{
    if (output)
        return saveListFile(*output, std::move(items), encoding, reason);
    SaveTarget out;
    if (!out.openStandardOutput()) {
        reason = out.errorString();
        return false;
    }
    return writeListItems(out.device(), std::move(items), encoding, reason);
}

// Sorts what was gathered and writes it to output, or to standard output; target is what
// messages call it. Returns the exit status.
template <typename Fail>
int sortAndWrite(Gathered &gathered, const Collation &collation,
                 const std::optional<QString> &output, const QString &target,
                 const Request &request, std::optional<Progress> &progress, const Fail &fail)
{
    QString reason;
    const TextEncoding read = gathered.firstFileEncoding;
    const std::optional<TextEncoding> allReadIn =
        gathered.allInFirstFileEncoding ? std::optional(read) : std::nullopt;
    if (gathered.runs.isEmpty()) {
        progress->setPhase("sorting");
        SortedItemList list(collation);
        try {
            list.insert(std::move(gathered.items));
        } catch (const std::bad_alloc &) {
            return fail("read", inputName(gathered.reading), notEnoughMemory());
        }
        progress->setPhase("writing");
        // Nothing is written or replaced when the file would not hold every item.
        ItemsToWrite items = itemsToWrite(list, request.form);
        items.allReadIn = allReadIn;
        const auto encoding = encodingToWrite(items, read, request.encoding, reason);
        if (!encoding)
            return fail("write", target, reason);
        if (!output)
            progress.reset();
        return writeTo(output, list.stream(request.form), *encoding, reason)
                   ? 0
                   : fail("write", target, reason);
    }

    RunStore &runs = gathered.runs;
    const auto runsFailed = [&] {
        return fail(runs.failedTo(), quotedName(runs.folder()), runs.errorString());
    };
    progress->setPhase("sorting runs");
    if (!runs.prepare(std::move(gathered.items), collation))
        return runsFailed();
    progress->setPhase("merging");
    const auto encoding =
        encodingToWrite({.open = [&] { return inForm(runs.merge(), request.form); },
                         .loneSurrogates = runs.loneSurrogateCount(),
                         .allReadIn = allReadIn},
                        read, request.encoding, reason);
    if (!encoding)
        return *runs.failedTo() ? runsFailed() : fail("write", target, reason);
    // The share merged is told in the bytes of the items merged.
    progress->setPhase("merging", runs.itemBytes());
    if (!output)
        progress.reset();
    qint64 done = 0;
    ItemStream merged = runs.merge();
    ItemStream counted([&](std::vector<ItemEntry> &chunk, QString &why) {
        if (!merged.next(chunk, why))
            return false;
        for (const ItemEntry &entry : chunk)
            done += entry.item->byteSize();
        if (progress)
            progress->setDone(done);
        return true;
    });
    if (writeTo(output, inForm(std::move(counted), request.form), *encoding, reason))
        return 0;
    return *runs.failedTo() ? runsFailed() : fail("write", target, reason);
}

} // namespace

int sortFiles(const QStringList &inputs, const std::optional<QString> &output,
              const Request &request)
{
    CollationInBackground collation(request.locale);
    Gathered gathered{
        ItemBatch(),
        RunStore(request.temporaryFolder, request.form.reversed, request.budget.merge),
        TextEncoding::Utf8,
        true,
        {}};
    std::optional<Progress> progress(std::in_place);
    // The progress line is cleared before any message, and before standard output.
    const auto fail = [&](const char *what, const QString &name, const QString &why) {
        progress.reset();
        return complain(what, name, why);
    };
    // Memory that runs out is named after the input being read, or after the output.
    try {
        if (const auto failed = readInputs(inputs, request, collation, gathered, *progress))
            return fail(failed->what, failed->name, failed->reason);
    } catch (const std::exception &failure) {
        return fail("read", inputName(gathered.reading), reasonFor(failure));
    }
    const QString target = output ? quotedName(*output) : standardOutputName;
    try {
        return sortAndWrite(gathered, collation.get(), output, target, request, progress, fail);
    } catch (const std::exception &failure) {
        return fail("write", target, reasonFor(failure));
    }
}