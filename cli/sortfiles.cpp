#include "sortfiles.h"

#include "collationinbackground.h"
#include "listfile.h"
#include "listfile/savetarget.h"
#include "memory.h"
#include "messages.h"
#include "progress.h"
#include "readinputs.h"
#include "runs/runstore.h"
#include "sorteditemlist.h"

#include <exception>
#include <functional>
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

// The runs merged, telling progress how far the merge has got in the bytes of the items.
ItemStream mergeTold(RunStore &runs, std::optional<Progress> &progress)
{
    if (progress)
        progress->setPhase("merging", runs.itemBytes());
    return ItemStream([&progress, merged = runs.merge(),
                       done = qint64(0)](std::vector<ItemEntry> &chunk, QString &why) mutable {
        if (!merged.next(chunk, why))
            return false;
        for (const ItemEntry &entry : chunk)
            done += entry.item->byteSize();
        if (progress)
            progress->setDone(done);
        return true;
    });
}

// Sorts what was gathered and writes it to output, or to standard output; target is what
// messages call it. Returns the exit status.
template <typename Fail>
int sortAndWrite(Gathered &gathered, const Collation &collation,
                 const std::optional<QString> &output, const QString &target,
                 const Request &request, std::optional<Progress> &progress, const Fail &fail)
{
    RunStore &runs = gathered.runs;
    // A run file that failed is what a message names; else the output.
    const auto failed = [&](const QString &reason) {
        return *runs.failedTo()
                   ? fail(runs.failedTo(), quotedName(runs.folder()), runs.errorString())
                   : fail("write", target, reason);
    };

    // The items come from the list sorted in memory, or from a merge of the runs; the
    // choice of encoding looks at items, and the writer reads toWrite().
    std::optional<SortedItemList> list;
    ItemsToWrite items;
    std::function<ItemStream()> toWrite;
    if (runs.isEmpty()) {
        progress->setPhase("sorting");
        list.emplace(collation);
        try {
            list->insert(std::move(gathered.items));
        } catch (const std::bad_alloc &) {
            return fail("read", inputName(gathered.reading), notEnoughMemory());
        }
        progress->setPhase("writing");
        items = itemsToWrite(*list, request.form);
        toWrite = items.open;
    } else {
        progress->setPhase("sorting runs");
        if (!runs.prepare(std::move(gathered.items), collation))
            return failed({});
        progress->setPhase("merging");
        items = {.open = [&] { return inForm(runs.merge(), request.form); },
                 .loneSurrogates = runs.loneSurrogateCount(),
                 .allReadIn = std::nullopt};
        toWrite = [&] { return inForm(mergeTold(runs, progress), request.form); };
    }

    // Nothing is written or replaced when the file would not hold every item.
    QString reason;
    const TextEncoding read = gathered.firstFileEncoding;
    if (gathered.allInFirstFileEncoding)
        items.allReadIn = read;
    const auto encoding = encodingToWrite(items, read, request.encoding, reason);
    if (!encoding)
        return failed(reason);
    if (!output)
        progress.reset();
    return writeTo(output, toWrite(), *encoding, reason) ? 0 : failed(reason);
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