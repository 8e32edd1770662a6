#include "listloader.h"

#include "itemlistmodel.h"
#include "listfile.h"
#include "order/collation.h"
#include "order/itemsorting.h"

#include <QFileInfo>

#include <new>

#include <sys/mman.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace
{
// The first batch is small, so that the first items show at once; each after it is as
// large as all read before, so that merging them costs about two passes over the list in
// all.
constexpr qsizetype firstBatchBytes = 64 * 1024;
constexpr qsizetype readRound = 4 << 20;
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
    m_handed = 0;
    m_releasedCount = 0;
    m_model.holdBase(true);
    m_worker = std::jthread([this, path, base = m_model.items().base()](std::stop_token stop) {
        work(stop, path, base);
    });
}

void ListLoader::work(std::stop_token stop, QString path, std::shared_ptr<const ItemRun> start)
{
#ifdef Q_OS_LINUX
    // This thread and the sorting threads it starts yield to the window's thread, so that
    // the window answers at once even while they keep every core busy.
    setpriority(PRIO_PROCESS, id_t(gettid()), 19);
#endif
    const Collation collation;
    ListFileReader reader;
    std::shared_ptr<const ItemRun> base = start;
    QString error;
    bool ok = reader.open(path);
    const qint64 fileSize = QFileInfo(path).size();
    try {
        for (qsizetype bytes = firstBatchBytes, read = 0;
             ok && !reader.atEnd() && !stop.stop_requested();) {
            freeReleased(); // what the window replaced last, before this batch takes memory
            ItemBatch batch;
            // Room for about as many items as the batch's bytes hold, going by the file so
            // far, saves copying the batch's list of them as it grows.
            if (read > 0 && base->entries.size() > start->entries.size())
                batch.reserve(qsizetype(double(base->entries.size() - start->entries.size()) *
                                        double(bytes) / double(read) * 1.05));
            // In rounds, so that a stop request is seen soon even in a large batch.
            for (qsizetype done = 0;
                 ok && done < bytes && !reader.atEnd() && !stop.stop_requested(); done += readRound)
                ok = reader.read(batch, std::min(bytes - done, readRound));
            if (!ok && reader.startedOver()) {
                // Not UTF-8 after all: the items shown so far go, and the file is read again.
                ok = true;
                read = 0;
                bytes = firstBatchBytes;
                if (base != start) {
                    base = start;
                    ok = hand({start, nullptr}, stop);
                }
                continue;
            }
            read += bytes;
            bytes = std::max(firstBatchBytes, read);
            // A small rest would cost a merge through the whole list: it joins this batch.
            if (fileSize - read - bytes < bytes)
                bytes = std::max(bytes, fileSize - read);
            // Items read before a failure stay; the last read may find only the file's end.
            if (batch.isEmpty() || stop.stop_requested())
                continue;
            auto addition = std::make_shared<const ItemRun>(batch.takeRun(collation, stop));
            freeReleased(); // what the window has replaced meanwhile, before merging takes more
            auto merged =
                std::make_shared<const ItemRun>(mergeRuns(*base, *addition, collation, stop));
            if (stop.stop_requested() || !hand({merged, std::move(addition)}, stop))
                break;
            base = std::move(merged);
        }
    } catch (const std::bad_alloc &) {
        ok = false;
        error = QStringLiteral("not enough memory");
    } catch (const std::exception &failure) {
        ok = false;
        error = QString::fromLocal8Bit(failure.what());
    }
    base.reset();

    std::unique_lock lock(m_mutex);
    m_error = ok ? QString() : error.isEmpty() ? reader.errorString() : error;
    m_encoding = reader.encoding().value_or(TextEncoding::Utf8);
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
#ifdef MADV_DONTNEED
    // Freeing a large block in one go keeps the process's memory map locked for
    // milliseconds, and the window's thread waits for it as soon as it needs a fresh page:
    // the entries' pages go back a few megabytes at a time first.
    if (run.use_count() == 1) {
        const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
        const auto begin = reinterpret_cast<uintptr_t>(run->entries.data());
        const uintptr_t first = (begin + page - 1) / page * page;
        const uintptr_t end = (begin + run->entries.size() * sizeof(ItemEntry)) / page * page;
        constexpr uintptr_t step = 4 << 20;
        for (uintptr_t from = first; from < end; from += step)
            madvise(reinterpret_cast<void *>(from), std::min(step, end - from), MADV_DONTNEED);
    }
#endif
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
        const QString error = m_error;
        const TextEncoding encoding = m_encoding;
        lock.unlock();
        m_running = false;
        m_model.holdBase(false);
        emit finished(m_path, error, encoding);
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
