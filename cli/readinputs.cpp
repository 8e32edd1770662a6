#include "readinputs.h"

#include "listfile/handledevice.h"
#include "memory.h"
#include "messages.h"
#include "platform.h"

#include <algorithm>
#include <new>
#include <vector>

namespace
{
constexpr auto entryBytes = qint64(sizeof(ItemEntry));

// Whether growing the entries of items would go past limit: growing holds the old ones and
// twice as many new ones at once.
bool cannotGrow(const ItemBatch &items, qint64 limit)
{
    return items.memoryUse() + 2 * qint64(items.entries().capacity()) * entryBytes > limit;
}
} // namespace

std::optional<Failure> readInputs(const QStringList &paths, const Request &request,
                                  CollationInBackground &collation, Gathered &gathered,
                                  Progress &progress)
{
    // The bytes of each input and of all, for the progress line; -1 when one does not tell.
    std::vector<qint64> sizes;
    qint64 total = 0;
    for (const QString &path : paths) {
        platform::FileStatus status;
        QString reason;
        const bool told = path != standardStream && platform::fileStatus(path, status, reason) &&
                          status.kind == platform::FileStatus::Kind::Regular;
        sizes.push_back(told ? status.size : -1);
        total = total < 0 || !told ? -1 : total + status.size;
    }
    progress.setPhase("reading", total);
    const BudgetPlan &budget = request.budget;
    ItemBatch &items = gathered.items;
    const auto toRun = [&](int input) -> std::optional<Failure> {
        // From the first run on, the process's size follows the budget.
        if (gathered.runs.isEmpty())
            platform::returnFreedMemory();
        if (!gathered.runs.add(items, collation.get(), input))
            return Failure{gathered.runs.failedTo(), quotedName(gathered.runs.folder()),
                           gathered.runs.errorString()};
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
        reader.keepCopyIn(request.temporaryFolder, budget.inputCopyBytes);
        const QString name = inputName(path);
        if (path == standardStream) {
            QString reason;
            platform::FileHandle input = platform::standardInput(reason);
            if (!input.isOpen())
                return Failure{"read", name, reason};
            if (!reader.open(std::make_unique<HandleDevice>(std::move(input), QIODevice::ReadOnly)))
                return Failure{"read", name, reader.errorString()};
        } else if (!reader.open(path)) {
            return Failure{"read", name, reader.errorString()};
        }
        // What is read only once has its copy kept in memory beside the items.
        const qint64 itemLimit = reader.size() < 0 ? budget.itemBytesBesideCopy : budget.itemBytes;
        qsizetype fileStart = items.size();
        bool reserved = false;
        qint64 bytesPerItem = 1; // of the file, from its first piece
        qint64 batchStart = 0;   // where in the file the items of the batch start
        // The bytes that the entries reserved have room for, with a margin for items shorter
        // than the file's mean; all of the read's share while the entries may grow.
        const auto bytesFitting = [&] {
            if (!reserved || !cannotGrow(items, itemLimit))
                return qint64(budget.readBytes);
            const qint64 room = qint64(items.entries().capacity()) - items.size();
            return std::min<qint64>(budget.readBytes, room * bytesPerItem * 4 / 5);
        };
        while (!reader.atEnd()) {
            if (!reader.read(items, std::max(bytesFitting(), BudgetPlan::minimumReadBytes))) {
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
            // Sorting takes room for another entry for each item, which may be kept from the
            // run before already.
            const qint64 sortRoom =
                std::max(items.size() * entryBytes, gathered.runs.sortRoomBytes());
            const bool full = items.memoryUse() + sortRoom > itemLimit ||
                              bytesFitting() < BudgetPlan::minimumReadBytes;
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
        before += std::max<qint64>(sizes[size_t(index)], 0);
        const TextEncoding encoding = reader.encoding().value_or(TextEncoding::Utf8);
        if (index == 0)
            gathered.firstFileEncoding = encoding;
        else if (encoding != gathered.firstFileEncoding)
            gathered.allInFirstFileEncoding = false;
    }
    return std::nullopt;
}
