#pragma once

#include "listfile/contentdigest.h"
#include "listfile/encoding/textencoding.h"
#include "platform.h"
#include "storage/itemrun.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class Collation;
class ItemListModel;

// How a load ended.
struct LoadOutcome {
    QString path;
    QString errorString; // empty when the whole file was read
    // The file's encoding, or UTF-8 when the file could not be read far enough to tell.
    TextEncoding encoding = TextEncoding::Utf8;
    // The file as it was when the load opened it; empty when it could not be opened.
    std::optional<FileVersion> version;
};

// Loads a list file into a model without holding up the window. A worker thread reads the
// file in batches that grow as the list does, sorts each on all cores, and merges it into a
// copy of the list's base; the window then swaps the merged base in, which takes it a few
// binary searches for each item added meanwhile and each row it keeps track of (the
// current and the selected), whatever the list's size. So the list is sorted whenever the
// window handles events, items appear while the file is read, and items added meanwhile
// stay. A replaced base goes back to the worker to be freed.
class ListLoader : public QObject
{
    Q_OBJECT

public:
    explicit ListLoader(ItemListModel &model, QObject *parent = nullptr);
    // Stops a running load; the items already added stay.
    ~ListLoader() override;

    void start(const QString &path);
    // Tests set how much memory each step of a load may take, in place of what the system
    // has available (see availableMemory()), so that a small file runs out of it.
    void setMemoryBudget(qint64 bytes);
    [[nodiscard]] bool isRunning() const { return m_running; }

signals:
    void finished(const LoadOutcome &outcome);

private:
    // What the worker hands the window: a merged base with the items new in it, or without
    // them the base of before the load, when the file has to be read again.
    struct Step {
        std::shared_ptr<const ItemRun> base;
        std::shared_ptr<const ItemRun> addition;
    };

    void work(std::stop_token stop, QString path, std::shared_ptr<const ItemRun> start,
              qint64 memoryBudget, const Collation &collation);
    // Waits until the window has taken the step before; false when stopped.
    bool hand(Step step, const std::stop_token &stop);
    void freeReleased();
    // Has takeStep() run on the window's thread unless it is pending; m_mutex held.
    void scheduleTake();
    void takeStep();

    ItemListModel &m_model;
    QString m_path;
    bool m_running = false;
    qint64 m_memoryBudget = -1; // -1: what the system has available
    QTimer m_nextStep;

    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::optional<Step> m_ready;
    std::vector<std::shared_ptr<const ItemRun>> m_released; // replaced bases, to free
    qsizetype m_handed = 0;
    qsizetype m_releasedCount = 0;
    bool m_takePending = false; // takeStep() is posted or on its timer
    bool m_workDone = false;
    QString m_error;
    TextEncoding m_encoding = TextEncoding::Utf8;
    std::optional<FileVersion> m_version;
    std::jthread m_worker; // last, so that it is joined before the rest goes
};
