#include "listloader.h"

#include "itemlistmodel.h"
#include "listfile.h"
#include "memory.h"
#include "order/collation.h"
#include "order/merging.h"
#include "platform.h"

#include <new>

namespace
{
// How many bytes each batch of a load reads. The first is small, so that the first items
// show at once; each after it is as large as all read before, so that merging them costs
// about two passes over the list in all. A small rest would cost a merge through the whole
// list: it joins the last batch.
class BatchPlan
{
public:
    explicit BatchPlan(qint64 fileSize) : m_fileSize(fileSize) {}

    [[nodiscard]] qsizetype bytes() const { return m_bytes; }
    // About how many items the next batch holds, going by the itemsRead so far; 0 before
    // the first batch.
    [[nodiscard]] qsizetype expectedItems(qsizetype itemsRead) const
    {
        return estimatedItemCount(itemsRead, m_read, m_bytes);
    }
    // A generous guess of the memory that reading, sorting and merging the next batch takes
    // beyond what the list holds already: its text, which decoding may double, three entries
    // an item while it is sorted and merged, and the merged copy of the base's entries.
    [[nodiscard]] qint64 memoryNeeded(qsizetype itemsRead, qsizetype baseCount) const
    {
        const qsizetype items = m_read > 0 ? expectedItems(itemsRead) : m_bytes / 8;
        constexpr auto entry = qint64(sizeof(ItemEntry));
        return 2 * qint64(m_bytes) + 3 * entry * items + entry * baseCount;
    }
    void batchRead()
    {
        m_read += m_bytes;
        m_bytes = std::max(firstBatchBytes, m_read);
        if (m_fileSize - m_read - m_bytes < m_bytes)
            m_bytes = std::max<qsizetype>(m_bytes, m_fileSize - m_read);
    }
    // The file is read again from its start.
    void restart() { *this = BatchPlan(m_fileSize); }

private:
    static constexpr qsizetype firstBatchBytes = 64 * 1024;
    qint64 m_fileSize;
    qsizetype m_read = 0;
    qsizetype m_bytes = firstBatchBytes;
};

// Reads about bytes more of the file into batch, in rounds, so that a stop request is seen
// soon even in a large batch.
bool readBatch(ListFileReader &reader, ItemBatch &batch, qsizetype bytes,
               const std::stop_token &stop)
{
    constexpr qsizetype round = ListFileReader::roundBytes;
    for (qsizetype done = 0; done < bytes && !reader.atEnd() && !stop.stop_requested();
         done += round) {
        if (!reader.read(batch, std::min(bytes - done, round)))
            return false;
    }
    return true;
}
} // namespace

ListLoader::ListLoader(ItemListModel &model, QObject *parent) : QObject(parent), m_model(model)
{
    // One step per turn of the event loop. A zero timer rather than a posted call, because a
    // stream of posted calls would keep the window's own timers from running in between.
    m_nextStep.setSingleShot(true);
    m_nextStep.setInterval(0);
    connect(&m_nextStep, &QTimer::timeout, this, &ListLoader::takeStep);
}

ListLoader::~ListLoader()
{
    m_worker.request_stop();
}

void ListLoader::setMemoryBudget(qint64 bytes)
{
    m_memoryBudget = bytes;
}

void ListLoader::start(const QString &path)
{
    Q_ASSERT(!m_running);
    if (m_worker.joinable())
        m_worker.join();
    m_path = path;
    m_running = true;
    m_workDone = false;
    m_error.clear();
    m_encoding = TextEncoding::Utf8;
    m_version.reset();
    m_handed = 0;
    m_releasedCount = 0;
    m_model.holdBase(true);
    // The worker's own copy of the list's collation, taken here, where the list lives.
    m_worker = std::jthread([this, path, base = m_model.items().base(), budget = m_memoryBudget,
                             collation = m_model.items().collation()](std::stop_token stop) {
        work(stop, path, base, budget, collation);
    });
}

void ListLoader::work(std::stop_token stop, QString path, std::shared_ptr<const ItemRun> start,
                      qint64 memoryBudget, const Collation &collation)
{
    // This thread and the sorting threads it starts yield to the window's thread, so that
    // the window answers at once even while they keep every core busy.
    platform::lowerThreadPriority();
    ListFileReader reader;
    // Save tells by the digest whether another program changed the file meanwhile.
    reader.digestContent();
    // A line that never ends, as /dev/zero gives, stops at the budget like everything else.
    reader.setMemoryLimit(memoryBudget >= 0 ? memoryBudget : availableMemory());
    std::shared_ptr<const ItemRun> base = start;
    QString error;
    // A FIFO that no program writes keeps the read waiting, until the window closes.
    bool ok = reader.open(path, stop);
    BatchPlan plan(std::max<qint64>(reader.size(), 0));
    try {
        while (ok && !reader.atEnd() && !stop.stop_requested()) {
            freeReleased(); // what the window replaced last, before this batch takes memory
            const auto itemsRead = qsizetype(base->entries.size() - start->entries.size());
            // A load that would need more memory than there is stops while it still can,
            // rather than have the system end the window and the items typed into it.
            if (plan.memoryNeeded(itemsRead, qsizetype(base->entries.size())) >
                (memoryBudget >= 0 ? memoryBudget : availableMemory())) {
                ok = false;
                error = notEnoughMemory();
                break;
            }
            ItemBatch batch;
            batch.reserve(plan.expectedItems(itemsRead));
            ok = readBatch(reader, batch, plan.bytes(), stop);
            if (!ok && reader.startedOver()) {
                // Not UTF-8 after all: the items shown so far go, and the file is read again.
                plan.restart();
                ok = base == start || hand({start, nullptr}, stop);
                base = start;
                continue;
            }
            plan.batchRead();
            // Items read before a failure stay; the last read may find only the file's end.
            if (batch.isEmpty() || stop.stop_requested())
                continue;
            freeReleased(); // what the window has replaced meanwhile, before merging takes more
            MergedBatch step = mergeBatch(*base, std::move(batch), collation, stop);
            if (stop.stop_requested() || !hand({step.merged, std::move(step.addition)}, stop))
                break;
            base = std::move(step.merged);
        }
    } catch (const std::bad_alloc &) {
        ok = false;
        error = notEnoughMemory();
    } catch (const std::exception &failure) {
        ok = false;
        error = QString::fromLocal8Bit(failure.what());
    }
    base.reset();

    std::unique_lock lock(m_mutex);
    m_error = ok ? QString() : error.isEmpty() ? reader.errorString() : error;
    m_encoding = reader.encoding().value_or(TextEncoding::Utf8);
    m_version = reader.fileVersion();
    m_workDone = true;
    scheduleTake();
    // The base the window replaces last is freed here too, not on the window's thread.
    m_changed.wait(lock, stop, [this] { return m_releasedCount == m_handed; });
    lock.unlock();
    freeReleased();
}

bool ListLoader::hand(Step step, const std::stop_token &stop)
{
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait(lock, stop, [this] { return !m_ready; }))
        return false;
    m_ready = std::move(step);
    ++m_handed;
    scheduleTake();
    return true;
}

void ListLoader::freeReleased()
{
    std::vector<std::shared_ptr<const ItemRun>> released;
    {
        std::lock_guard lock(m_mutex);
        released.swap(m_released);
    }
    // Outside the lock: freeing a large list takes a while.
    for (std::shared_ptr<const ItemRun> &run : released)
        freeGradually(std::move(run));
}

void ListLoader::freeGradually(std::shared_ptr<const ItemRun> run)
{
    // Freeing a large block in one go keeps the process's memory map locked for
    // milliseconds, and the window's thread waits for it as soon as it needs a fresh page:
    // the entries' pages go back a few megabytes at a time first.
    if (run.use_count() == 1) {
        auto *entries = reinterpret_cast<std::byte *>(const_cast<ItemEntry *>(run->entries.data()));
        const size_t size = run->entries.size() * sizeof(ItemEntry);
        constexpr size_t step = 4 << 20;
        for (size_t from = 0; from < size; from += step)
            platform::releasePages(entries + from, std::min(step, size - from));
    }
    run.reset();
}

void ListLoader::scheduleTake()
{
    if (!m_takePending) {
        m_takePending = true;
        QMetaObject::invokeMethod(this, &ListLoader::takeStep, Qt::QueuedConnection);
    }
}

void ListLoader::takeStep()
{
    std::unique_lock lock(m_mutex);
    if (!m_ready) {
        m_takePending = false;
        if (!m_workDone)
            return;
        const LoadOutcome outcome{m_path, m_error, m_encoding, m_version};
        lock.unlock();
        m_running = false;
        m_model.holdBase(false);
        emit finished(outcome);
        return;
    }
    Step step = std::move(*m_ready);
    m_ready.reset();
    lock.unlock();
    m_changed.notify_all(); // the worker may merge its next batch already
    auto replaced = step.addition ? m_model.replaceBase(step.base, step.addition)
                                  : m_model.resetBase(step.base);
    lock.lock();
    m_released.push_back(std::move(replaced));
    if (step.addition)
        m_released.push_back(std::move(step.addition));
    ++m_releasedCount;
    lock.unlock();
    m_changed.notify_all();
    m_nextStep.start(); // after the merge, so that timers already due run first
}
