#include "progress.h"

#include "platform.h"

#include <chrono>
#include <cstdio>
#include <cstring>

using namespace std::chrono_literals;

Progress::Progress()
{
    if (platform::standardErrorIsTerminal())
        m_thread = std::jthread([this](std::stop_token stop) { show(stop); });
}

void Progress::setPhase(const char *phase, qint64 total)
{
    m_total = total;
    m_done = 0;
    m_phase = phase;
}

void Progress::show(std::stop_token stop)
{
    std::unique_lock lock(m_mutex);
    // A stop request ends either wait at once.
    m_wake.wait_for(lock, stop, 2s, [] { return false; });
    bool shown = false;
    char line[160] = {};
    char last[160] = {};
    while (!stop.stop_requested()) {
        constexpr double megabyte = 1e6;
        const qint64 total = m_total;
        const qint64 done = m_done;
        if (total > 0)
            std::snprintf(line, sizeof line, "listsort: %s, %.0f of %.0f MB (%d%%)", m_phase.load(),
                          double(done) / megabyte, double(total) / megabyte,
                          int(100 * done / total));
        else if (done > 0)
            std::snprintf(line, sizeof line, "listsort: %s, %.0f MB", m_phase.load(),
                          double(done) / megabyte);
        else
            std::snprintf(line, sizeof line, "listsort: %s", m_phase.load());
        if (std::strcmp(line, last) != 0) {
            std::fprintf(stderr, "\r%s\033[K", line);
            std::fflush(stderr);
            std::strcpy(last, line);
            shown = true;
        }
        m_wake.wait_for(lock, stop, 250ms, [] { return false; });
    }
    if (shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}
