#include "check.h"

#include "comparingdevice.h"
#include "listfile.h"
#include "listfile/handledevice.h"
#include "memory.h"
#include "messages.h"
#include "order/collation.h"
#include "platform.h"
#include "spooledinput.h"

#include <cstdio>
#include <memory>
#include <string>

namespace
{
// Why a pass over the file stopped before its end.
enum class Stop { No, OutOfOrder, Repeated, Unwritable, Failed, StartedOver };

// The items of a list file in the order it holds them, a round at a time, for as long as
// they are in the order and form of a save: each is compared with the one before it.
class InOrderItems
{
public:
    InOrderItems(ListFileReader &reader, const Collation &collation, ListForm form,
                 TextEncoding encoding)
        : m_reader(reader), m_collation(collation), m_form(form), m_encoding(encoding)
    {
    }

    bool next(std::vector<ItemEntry> &chunk, QString &errorString)
    {
        chunk.clear();
        while (chunk.empty() && !m_reader.atEnd() && m_stop == Stop::No) {
            // The items of the last round go; the writer is done with them. A huge last item
            // stays where it lies, with them, to be compared with the next.
            m_previousBatch = m_previous == &m_previousEntry && m_previousBytes.empty()
                                  ? std::move(m_batch)
                                  : ItemBatch();
            m_batch = ItemBatch();
            m_reader.startNewMemory();
            if (!m_reader.read(m_batch, ListFileReader::roundBytes)) {
                m_stop = m_reader.startedOver() ? Stop::StartedOver : Stop::Failed;
                errorString = m_reader.errorString();
                return false;
            }
            for (const ItemEntry &read : m_batch.entries()) {
                const ItemEntry entry = m_collation.entryFor(read.item);
                if (!canWrite(*entry.item, m_encoding)) {
                    m_stop = Stop::Unwritable;
                    errorString = unwritableReason(m_count, m_encoding);
                    return false;
                }
                if (const ItemEntry *previous = chunk.empty() ? m_previous : &chunk.back()) {
                    if (m_form.reversed ? m_collation.less(*previous, entry)
                                        : m_collation.less(entry, *previous)) {
                        m_stop = Stop::OutOfOrder;
                        break;
                    }
                    if (m_form.unique && isRepeat(*previous->item, *entry.item)) {
                        m_stop = Stop::Repeated;
                        break;
                    }
                }
                chunk.push_back(entry);
                ++m_count;
            }
        }
        // The last item stays for the next round to be compared with: a copy of it, or a
        // huge one, which a copy would take twice, as it lies.
        if (!chunk.empty()) {
            m_previousBytes.clear();
            m_previousEntry = chunk.back();
            if (m_previousEntry.item->byteSize() < (1 << 20)) {
                m_previousEntry.item->appendTo(m_previousBytes);
                m_previousEntry.item = Item::laidOutAt(m_previousBytes.data());
            }
            m_previous = &m_previousEntry;
        }
        return true;
    }
    [[nodiscard]] Stop stop() const { return m_stop; }

private:
    ListFileReader &m_reader;
    const Collation &m_collation;
    ListForm m_form;
    TextEncoding m_encoding;
    ItemBatch m_batch;
    ItemBatch m_previousBatch; // the round of a huge last item
    std::string m_previousBytes;
    ItemEntry m_previousEntry{};
    const ItemEntry *m_previous = nullptr;
    qsizetype m_count = 0;
    Stop m_stop = Stop::No;
};
} // namespace

int check(const QString &path, const Request &request)
{
    const QString name = inputName(path);
    QString reason;
    platform::FileHandle input = path == standardStream ? platform::standardInput(reason)
                                                        : platform::openForReading(path, reason);
    platform::FileStatus status;
    if (!input.isOpen() || !input.status(status, reason))
        return complain("read", name, reason);
    // The comparison reads the file a second time, beside the reader: what can be read only
    // once (a pipe, a device, standard input) is read into a copy first.
    SpooledInput spool;
    std::unique_ptr<QIODevice> original;
    std::unique_ptr<QIODevice> source;
    if (status.kind != platform::FileStatus::Kind::Regular) {
        HandleDevice device(std::move(input), QIODevice::ReadOnly);
        if (!spool.take(device, name, request.budget.inputCopyBytes, request.temporaryFolder))
            return complain(spool.failedTo(), spool.failedName(), spool.errorString());
        original = spool.open();
        source = spool.open();
    } else {
        source = fileReading(platform::reopenForReading(input, reason), reason);
        original = fileReading(std::move(input), reason);
    }
    if (!original || !source)
        return complain("read", name, reason.isEmpty() ? platform::lastSystemReason() : reason);

    ListFileReader reader;
    reader.setMemoryLimit(availableMemory());
    if (request.inputEncoding)
        reader.setInputEncoding(*request.inputEncoding);
    if (!reader.open(std::move(source)))
        return complain("read", name, reader.errorString());
    const Collation collation(request.locale);
    // One pass, which starts again when the file turns out not to be UTF-8.
    for (;;) {
        if (!original->seek(0))
            return complain("read", name, original->errorString());
        const TextEncoding read = reader.likelyEncoding();
        const TextEncoding encoding = request.encoding.value_or(read);
        InOrderItems items(reader, collation, request.form, encoding);
        ComparingDevice comparison(*original, read);
        QString reason;
        const bool passed =
            writeListItems(comparison, ItemStream([&](std::vector<ItemEntry> &chunk, QString &why) {
                               return items.next(chunk, why);
                           }),
                           encoding, reason);
        if (items.stop() == Stop::StartedOver)
            continue;
        if (!passed)
            return complain(items.stop() == Stop::Unwritable ? "write" : "read", name, reason);
        // A line the save would write otherwise comes first; else the item that stopped the
        // pass, on the line after those compared.
        const bool formDiffers = comparison.differs();
        if (comparison.finish())
            return 0;
        const ComparingDevice::Line line = comparison.differingLine();
        const char *what = formDiffers || items.stop() == Stop::No ? "saving would change this line"
                           : items.stop() == Stop::OutOfOrder      ? "out of order"
                                                                   : "repeats the item before it";
        std::fprintf(stderr, "listsort: %s:%lld: %s: %s\n",
                     qPrintable(platform::shownFileName(path)), static_cast<long long>(line.number),
                     what, qPrintable(line.text));
        return unsorted;
    }
}
