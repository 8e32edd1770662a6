#include "sortfiles.h"

#include "memory.h"
#include "progress.h"
#include "runstore.h"
#include "spooledinput.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <new>
#include <thread>

namespace
{
// What a budget keeps back from the items: buffers for reading, writing and merging.
constexpr qint64 bufferMemory = 16 << 20;

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
// The least a read takes before the items go to a run.
constexpr qint64 minimumReadBytes = 64 << 10;

// Whether growing the entries of items would go past limit: growing holds the old ones and
// twice as many new ones at once.
bool cannotGrow(const ItemBatch &items, qint64 limit)
{
    return items.memoryUse() + 2 * qint64(items.entries().capacity()) * entryBytes > limit;
}

struct Failure {
    const char *what;
    QString path;
    QString reason;
};

// The items read so far: those not in a run yet, and the runs.
struct Gathered {
    ItemBatch items;
    RunStore runs;
    TextEncoding firstFileEncoding = TextEncoding::Utf8;
};

// Reads the list files at paths into gathered, within the request's memory budget: when
// the items no longer fit it, they go to a run. The first file's encoding is kept.
std::optional<Failure> readInputs(const QStringList &paths, const Request &request,
                                  CollationInBackground &collation, Gathered &gathered,
                                  Progress &progress)
{
    qint64 total = 0;
    for (const QString &path : paths)
        total = path == standardStream || total < 0 ? -1 : total + QFileInfo(path).size();
    progress.setPhase("reading", total);
    const qsizetype readBytes =
        std::clamp<qint64>(request.memoryBudget / 8, 4096, ListFileReader::roundBytes);
    ItemBatch &items = gathered.items;
    const auto toRun = [&](int input) -> std::optional<Failure> {
        if (!gathered.runs.add(std::move(items), collation.get(), input))
            return Failure{gathered.runs.failedTo(), gathered.runs.folder(),
                           gathered.runs.errorString()};
        items = ItemBatch();
        return std::nullopt;
    };
    qint64 before = 0; // bytes of the files read before
    for (int index = 0; index < int(paths.size()); ++index) {
        const QString &path = paths[index];
        SpooledInput spool;
        ListFileReader reader;
        if (path == standardStream) {
            if (!spool.take(SpooledInput::memoryLimitWithin(request.memoryBudget),
                            request.temporaryFolder))
                return Failure{spool.failedTo(), spool.failedPath(), spool.errorString()};
            if (!reader.open(spool.open()))
                return Failure{"read", path, reader.errorString()};
        } else if (!reader.open(path)) {
            return Failure{"read", path, reader.errorString()};
        }
        const qint64 itemLimit =
            std::max<qint64>(request.memoryBudget - bufferMemory - spool.memoryUse(), 0);
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
                    return Failure{"read", path, reader.errorString()};
                // The file is read again from its start: what was read of it goes.
                gathered.runs.dropInput(index);
                batchStart = 0;
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
                const qsizetype fileItems =
                    estimatedItemCount(read, pieceBytes, reader.size() - batchStart);
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
            progress.setPhase("sorting runs", total);
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
            progress.setPhase("reading", total);
        }
        if (path != standardStream)
            before += QFileInfo(path).size();
        if (index == 0)
            gathered.firstFileEncoding = reader.encoding().value_or(TextEncoding::Utf8);
    }
    return std::nullopt;
}

// Saves to output with save(path), or writes to standard output with write(device).
template <typename Save, typename Write>
bool writeTo(const std::optional<QString> &output, QString &reason, const Save &save,
             const Write &write)
{
    if (output)
        return save(*output);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
        reason = out.errorString();
        return false;
    }
    try {
        if (!write(out))
            return false;
    } catch (const std::bad_alloc &) {
        reason = notEnoughMemory();
        return false;
    }
    if (!out.flush()) {
        reason = out.errorString();
        return false;
    }
    return true;
}
} // namespace

int sortFiles(const QStringList &inputs, const std::optional<QString> &output,
              const Request &request)
{
    CollationInBackground collation(request.locale);
    Gathered gathered{ItemBatch(),
                      RunStore(request.temporaryFolder, request.form, request.memoryBudget / 4)};
    std::optional<Progress> progress(std::in_place);
    // The progress line is cleared before any message, and before standard output.
    const auto fail = [&](const char *what, const QString &path, const QString &why) {
        progress.reset();
        return complain(what, path, why);
    };
    if (const auto failed = readInputs(inputs, request, collation, gathered, *progress))
        return fail(failed->what, failed->path, failed->reason);
    const QString target = output.value_or(standardStream);
    QString reason;
    if (gathered.runs.isEmpty()) {
        progress->setPhase("sorting");
        SortedItemList list(collation.get());
        try {
            list.insert(std::move(gathered.items));
        } catch (const std::bad_alloc &) {
            return fail("read", inputs.constLast(), notEnoughMemory());
        }
        progress->setPhase("writing");
        // Nothing is written or replaced when the file would not hold every item.
        const auto encoding = encodingToWrite(list, request, gathered.firstFileEncoding, reason);
        if (!encoding)
            return fail("write", target, reason);
        if (!output)
            progress.reset();
        const bool written = writeTo(
            output, reason,
            [&](const QString &path) {
                return saveListFile(path, list, *encoding, reason, request.form);
            },
            [&](QIODevice &device) {
                return writeListItems(device, list, *encoding, reason, request.form);
            });
        return written ? 0 : fail("write", target, reason);
    }

    RunStore &runs = gathered.runs;
    const auto runsFailed = [&] {
        return fail(runs.failedTo(), runs.folder(), runs.errorString());
    };
    progress->setPhase("sorting runs");
    if (!runs.prepare(std::move(gathered.items), collation.get()))
        return runsFailed();
    progress->setPhase("merging");
    const auto encoding = encodingToWrite([&] { return runs.merge(); }, runs.loneSurrogateCount(),
                                          request, gathered.firstFileEncoding, reason);
    if (!encoding)
        return *runs.failedTo() ? runsFailed() : fail("write", target, reason);
    if (!output)
        progress.reset();
    // The share merged is told in the bytes of the items written.
    progress->setPhase("merging", runs.itemBytes());
    const ItemChunks merged = runs.merge();
    qint64 done = 0;
    const ItemChunks chunks = [&](std::vector<ItemEntry> &chunk, QString &why) {
        if (!merged(chunk, why))
            return false;
        for (const ItemEntry &entry : chunk)
            done += entry.item->byteSize();
        if (progress)
            progress->setDone(done);
        return true;
    };
    const bool written = writeTo(
        output, reason,
        [&](const QString &path) { return saveListFile(path, chunks, *encoding, reason); },
        [&](QIODevice &device) { return writeListItems(device, chunks, *encoding, reason); });
    if (written)
        return 0;
    return *runs.failedTo() ? runsFailed() : fail("write", target, reason);
}
