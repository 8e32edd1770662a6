#pragma once

#include <QtGlobal>

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

// How many threads suit count pieces of work: one per core, but never so few pieces per
// thread that starting the thread costs more than it saves.
inline int threadCountFor(qsizetype count, qsizetype minimumPerThread)
{
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    int threads = 1;
    while (threads * 2 <= std::min(cores, 8) && count / (threads * 2) >= minimumPerThread)
        threads *= 2;
    return threads;
}

// Below this many entries per thread, sorting or merging them on more threads costs more
// than it saves.
inline constexpr qsizetype minimumEntriesPerThread = 1 << 15;

// Runs part(0) … part(parts - 1), each on its own thread but the first. An exception in
// any part, such as std::bad_alloc, reaches the caller once all parts have ended.
template <typename Part> void runInParallel(int parts, const Part &part)
{
    std::vector<std::exception_ptr> failures(parts);
    {
        const auto guarded = [&](int index) {
            try {
                part(index);
            } catch (...) {
                failures[index] = std::current_exception();
            }
        };
        std::vector<std::jthread> threads;
        for (int index = 1; index < parts; ++index)
            threads.emplace_back(guarded, index);
        guarded(0);
    }
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

// Where part index of count pieces shared among parts begins.
inline qsizetype partBegin(qsizetype count, int parts, int index)
{
    return count * index / parts;
}
