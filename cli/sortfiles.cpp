#include "sortfiles.h"

#include "listfile.h"
#include "listfile/handledevice.h"
#include "listfile/savetarget.h"
#include "memory.h"
#include "messages.h"
#include "platform.h"
#include "progress.h"
#include "runstore.h"
#include "sorteditemlist.h"
#include "spooledinput.h"

#include <algorithm>
#include <exception>
#include <new>
#include <thread>

namespace
{
// The least a read takes before the items go to a run.
constexpr qint64 minimumReadBytes = 64 << 10;

// The collation's tables take a few milliseconds to build: they are built on a thread of
// their own while the first bytes are read. A failure there is rethrown where the collation
// is first needed, for main() to report.
class CollationInBackground
{
public:
    explicit CollationInBackground(const QByteArray &locale)
        : m_thread([this, locale] {
              try {
                  m_collation.emplace(locale);
              } catch (...) {
                  m_failure = std::current_exception();
              }
          })
    {
    }
    const Collation &get()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
        return *m_collation;
    }

private:
    std::optional<Collation> m_collation;
    std::exception_ptr m_failure;
    std::jthread m_thread;
};

constexpr auto entryBytes = qint64(sizeof(ItemEntry));

// Whether growing the entries of items would go past limit: growing holds the old ones and
// twice as many new ones at once.
bool cannotGrow(const ItemBatch &items, qint64 limit)
{
    return items.memoryUse() + 2 * qint64(items.entries().capacity()) * entryBytes > limit;
}

struct Failure {
    const char *what;
    QString name; // as a message names it
    QString reason;
};

// The items read so far: those not in a run yet, and the runs.
struct Gathered {
    ItemBatch items;
    RunStore runs;
    TextEncoding firstFileEncoding = TextEncoding::Utf8;
    bool allInFirstFileEncoding = true;
    QString reading; // the input being read
};

// Reads the list files at paths into gathered, within the request's memory budget: when
// the items no longer fit it, they go to a run. The first file's encoding is kept.
std::optional<Failure> readInputs(const QStringList &paths, const Request &request,
                                  CollationInBackground &collation, Gathered &gathered,
                                  Progress &progress)
{
    // The bytes of all inputs, for the progress line; -1 when one of them does not tell.
    const auto sizeOf = [](const QString &path) -> qint64 {
        platform::FileStatus status;
        QString reason;
        if (path == standardStream || !platform::fileStatus(path, status, reason) ||
            status.kind != platform::FileStatus::Kind::Regular)
            return -1;
        return status.size;
    };
    qint64 total = 0;
    for (const QString &path : paths)
        total = total < 0 || sizeOf(path) < 0 ? -1 : total + sizeOf(path);
    progress.setPhase("reading", total);
    // A sixteenth of the budget is read at a time, and the items take what reading leaves.
    const qsizetype readBytes =
        std::clamp<qint64>(request.memoryBudget / 16, minimumReadBytes, ListFileReader::roundBytes);
    ItemBatch &items = gathered.items;
    const auto toRun = [&](int input) -> std::optional<Failure> {
        // From the first run on, the process's size follows the budget.
        if (gathered.runs.isEmpty())
            platform::returnFreedMemory();
        if (!gathered.runs.add(std::move(items), collation.get(), input))
            return Failure{gathered.runs.failedTo(), quotedName(gathered.runs.folder()),
                           gathered.runs.errorString()};
        items = ItemBatch();
        return std::nullopt;
    };
    qint64 before = 0; // bytes of the files read before
    for (int index = 0; index < int(paths.size()); ++index) {
        const QString &path = paths[index];
        gathered.reading = path;
        ListFileReader reader;
        // A single item larger than the budget may take its own size beyond it, but never
        // more than there is.
        reader.setMemoryLimit(availableMemory());
        if (request.inputEncoding)
            reader.setInputEncoding(*request.inputEncoding);
        // What can be read only once (standard input, a pipe, a device) is kept, for reading
        // it again, in memory up to a share of the budget and beyond it in a temporary file.
        reader.keepCopyIn(request.temporaryFolder,
                          SpooledInput::memoryLimitWithin(request.memoryBudget));
        const QString name = inputName(path);
        if (path == standardStream) {
            QString reason;
            platform::FileHandle input = platform::duplicateStandardInput(reason);
            if (!input.isOpen())
                return Failure{"read", name, reason};
            if (!reader.open(std::make_unique<HandleDevice>(std::move(input), QIODevice::ReadOnly)))
                return Failure{"read", name, reader.errorString()};
        } else if (!reader.open(path)) {
            return Failure{"read", name, reader.errorString()};
        }
        const qint64 copyMemory =
            reader.size() < 0 ? SpooledInput::memoryLimitWithin(request.memoryBudget) : 0;
        const qint64 itemLimit =
            std::max<qint64>(request.memoryBudget / 3 * 2 - readBytes - copyMemory, 0);
        qsizetype fileStart = items.size();
        bool reserved = false;
        qint64 bytesPerItem = 1; // of the file, from its first piece
        qint64 batchStart = 0;   // where in the file the items of the batch start
        // The bytes that the entries reserved have room for, with a margin for items shorter
        // than the file's mean; all of readBytes while the entries may grow.
        const auto bytesFitting = [&] {
            if (!reserved || !cannotGrow(items, itemLimit))
                return qint64(readBytes);
            const qint64 room = qint64(items.entries().capacity()) - items.size();
            return std::min<qint64>(readBytes, room * bytesPerItem * 4 / 5);
        };
        while (!reader.atEnd()) {
            if (!reader.read(items, std::max(bytesFitting(), minimumReadBytes))) {
                if (!reader.startedOver())
                    return Failure{"read", name, reader.errorString()};
                // The file is read again from its start: what was read of it goes.
                gathered.runs.dropInput(index);
                batchStart = 0;
                reserved = false;
                if (fileStart == 0)
                    items = ItemBatch();
                else
                    items.truncate(fileStart);
                continue;
            }
            if (!reserved && reader.position() > batchStart && items.size() > fileStart) {
                // The first piece shows about how many items the file holds, and how many
                // fit the budget.
                const qsizetype read = items.size() - fileStart;
                const qint64 pieceBytes = reader.position() - batchStart;
                bytesPerItem = std::max<qint64>(pieceBytes / read, 1);
                // Sorting takes room for another entry for each item.
                const qint64 perItem = bytesPerItem + 2 * entryBytes;
                // A FIFO's length is unknown: as many as the budget holds.
                const qsizetype fileItems =
                    reader.size() < 0
                        ? qsizetype(itemLimit / perItem)
                        : estimatedItemCount(read, pieceBytes, reader.size() - batchStart);
                try {
                    items.reserve(std::max(items.size(), std::min(fileStart + fileItems,
                                                                  qsizetype(itemLimit / perItem))));
                } catch (const std::bad_alloc &) {
                    // Then the batch grows as it goes.
                }
                reserved = true;
            }
            progress.setDone(before + reader.position());
            const bool full = items.memoryUse() + items.size() * entryBytes > itemLimit ||
                              bytesFitting() < minimumReadBytes;
            if (!full || reader.atEnd())
                continue;
            progress.setStep("sorting runs");
            // The items of earlier files go to a run of their own, since this file may still
            // be read again.
            if (fileStart > 0) {
                ItemBatch ofThisFile = items.splitOff(fileStart);
                if (auto failed = toRun(index - 1))
                    return failed;
                items = std::move(ofThisFile);
                fileStart = 0;
            }
            if (auto failed = toRun(index))
                return failed;
            reader.startNewMemory();
            reserved = false;
            batchStart = reader.position();
            progress.setStep("reading");
        }
        before += std::max<qint64>(sizeOf(path), 0);
        const TextEncoding encoding = reader.encoding().value_or(TextEncoding::Utf8);
        if (index == 0)
            gathered.firstFileEncoding = encoding;
        else if (encoding != gathered.firstFileEncoding)
            gathered.allInFirstFileEncoding = false;
    }
    return std::nullopt;
}

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
    try {
        return writeListItems(out.device(), std::move(items), encoding, reason);
    } catch (const std::bad_alloc &) {
        reason = notEnoughMemory();
        return false;
    }
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
        const auto encoding = encodingToWrite({.open = [&] { return list.stream(request.form); },
                                               .loneSurrogates = list.loneSurrogateCount(),
                                               .allReadIn = allReadIn},
                                              read, request.encoding, reason);
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
    if (!output)
        progress.reset();
    // The share merged is told in the bytes of the items merged.
    progress->setPhase("merging", runs.itemBytes());
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
        RunStore(request.temporaryFolder, request.form.reversed, request.memoryBudget / 4),
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