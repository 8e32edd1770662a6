#pragma once

#include "itembatch.h"
#include "textencoding.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class ItemListModel;

// Loads a list file into a model without blocking the window: a worker thread reads the
// file and sorts its items in batches, and the model takes one batch at a time on the
// window's thread, so the list is sorted whenever the window handles events and items
// appear while the file is read.
class ListLoader : public QObject
{
    Q_OBJECT

public:
    explicit ListLoader(ItemListModel &model, QObject *parent = nullptr);
    // Stops a running load; the items already added stay.
    ~ListLoader() override;

    void start(const QString &path);
    [[nodiscard]] bool isRunning() const { return m_running; }

signals:
    // errorString is empty when the whole file was read. encoding is the file's, or UTF-8
    // when the file could not be read far enough to tell.
    void finished(const QString &path, const QString &errorString, TextEncoding encoding);

private:
    void work(std::stop_token stop, QString path);
    void hand(ItemBatch &&batch, const std::stop_token &stop);
    // Has takeNextBatch() run on the window's thread unless it is pending; m_mutex held.
    void scheduleTake();
    void takeNextBatch();

    ItemListModel &m_model;
    QString m_path;
    bool m_running = false;
    QTimer m_nextBatch;

    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::deque<ItemBatch> m_ready;
    bool m_takePending = false; // takeNextBatch() is posted or on its timer
    bool m_workDone = false;
    QString m_error;
    TextEncoding m_encoding = TextEncoding::Utf8;
    std::jthread m_worker; // last, so that it is joined before the rest goes
};
