#include "listloader.h"

#include "itemlistmodel.h"
#include "listfile.h"
#include "listfile/batchplan.h"
#include "memory.h"
#include "order/collation.h"
#include "order/merging.h"
#include "platform.h"

#include <new>

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
        releaseGradually(std::move(run));
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
