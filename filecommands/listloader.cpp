#include "listloader.h"

#include "collation.h"
#include "itemlistmodel.h"
#include "listfile.h"

namespace
{
// Batches are small at first, so the first items show at once, and never so large that
// merging one into the list keeps the window from its events for long.
constexpr qsizetype firstBatchBytes = 64 * 1024;
constexpr qsizetype largestBatchBytes = 512 * 1024;
// Sorted batches waiting for the window; bounds the memory a slow window can make pile up.
constexpr std::size_t readyLimit = 2;
} // namespace

ListLoader::ListLoader(ItemListModel &model, QObject *parent) : QObject(parent), m_model(model)
{
    // One batch per turn of the event loop. A zero timer rather than a posted call, because a
    // stream of posted calls would keep the window's own timers from running in between.
    m_nextBatch.setSingleShot(true);
    m_nextBatch.setInterval(0);
    connect(&m_nextBatch, &QTimer::timeout, this, &ListLoader::takeNextBatch);
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
    m_worker = std::jthread([this, path](std::stop_token stop) { work(stop, path); });
}

void ListLoader::work(std::stop_token stop, QString path)
{
    const Collation collation;
    ListFileReader reader;
    bool ok = reader.open(path);
    for (qsizetype bytes = firstBatchBytes; ok && !reader.atEnd() && !stop.stop_requested();
         bytes = std::min(bytes * 2, largestBatchBytes)) {
        ItemBatch batch;
        ok = reader.read(batch, bytes);
        if (batch.isEmpty()) // the last read may find only the end of the file
            continue;
        batch.sort(collation);
        hand(std::move(batch), stop);
    }
    std::lock_guard lock(m_mutex);
    if (!ok)
        m_error = reader.errorString();
    m_encoding = reader.encoding().value_or(TextEncoding::Utf8);
    m_workDone = true;
    scheduleTake();
}

void ListLoader::hand(ItemBatch &&batch, const std::stop_token &stop)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, stop, [this] { return m_ready.size() < readyLimit; });
    m_ready.push_back(std::move(batch));
    scheduleTake();
}

void ListLoader::scheduleTake()
{
    if (!m_takePending) {
        m_takePending = true;
        QMetaObject::invokeMethod(this, &ListLoader::takeNextBatch, Qt::QueuedConnection);
    }
}

void ListLoader::takeNextBatch()
{
    std::unique_lock lock(m_mutex);
    if (m_ready.empty()) {
        m_takePending = false;
        if (!m_workDone)
            return;
        const QString error = m_error;
        const TextEncoding encoding = m_encoding;
        lock.unlock();
        m_worker.join();
        m_running = false;
        emit finished(m_path, error, encoding);
        return;
    }
    ItemBatch batch = std::move(m_ready.front());
    m_ready.pop_front();
    lock.unlock();
    m_changed.notify_all();
    m_model.addItems(std::move(batch));
    m_nextBatch.start(); // after the merge, so that timers already due run first
}
