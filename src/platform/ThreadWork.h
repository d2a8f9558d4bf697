#pragma once

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zandrel {

// The threads worth running work on at once: the processor's, within reason.
inline int availableThreads()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
}

// Runs work(i) for every i below count on up to so many threads, the calling one among them. Items
// are taken in turn from a shared counter, so that a slow item does not hold up the others. The first
// exception an item raises stops the items not yet begun and is raised again once all threads ended.
template <class Work> void runOnThreads(int count, int threads, const Work& work)
{
    std::atomic<int> next { 0 };
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto run = [&] {
        try {
            for (int i = next++; i < count; i = next++)
                work(i);
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(std::max(0, std::min(threads, count) - 1)));
    try {
        for (int i = 1; i < std::min(threads, count); ++i)
            helpers.emplace_back(run);
    } catch (const std::system_error&) {
        // No more threads to be had: those started and this one share the work.
    }
    run();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// How many contiguous parts to cut so many items into when perThread items are worth a thread of
// their own: one below two threads' worth, else more parts than threads, so that a thread done early
// takes another.
inline int partsFor(quint64 items, quint64 perThread)
{
    return items < 2 * perThread ? 1 : 4 * availableThreads();
}

// Runs work(part, first, end) for each of the parts [0, items) is cut into, in order of the items,
// on the threads available.
template <class Work> void runInParts(quint64 items, int parts, const Work& work)
{
    runOnThreads(parts, availableThreads(), [&](int part) {
        work(part, items * quint64(part) / quint64(parts), items * quint64(part + 1) / quint64(parts));
    });
}

} // namespace zandrel
