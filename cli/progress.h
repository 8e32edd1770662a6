#pragma once

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// One line on standard error that tells a person at a terminal how far a long run has got:
// its phase, and the bytes done and a percentage where the size is known. It appears once
// the run has taken two seconds, is rewritten in place, and is cleared at the end. Nothing
// is shown when standard error is not a terminal, so scripts see nothing of it.
class Progress
{
public:
    Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Starts phase ("reading", "sorting", "writing"), of total bytes, -1 when not known.
    void setPhase(const char *phase, qint64 total = -1);
    // Moves on to another step of the same phase, which counts the same bytes: sorting runs
    // while reading.
    void setStep(const char *step) { m_phase = step; }
    // The bytes of the phase done so far.
    void setDone(qint64 bytes) { m_done = bytes; }

private:
    void show(std::stop_token stop);

    std::atomic<const char *> m_phase{"reading"};
    std::atomic<qint64> m_total{-1};
    std::atomic<qint64> m_done{0};
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::jthread m_thread;
};
