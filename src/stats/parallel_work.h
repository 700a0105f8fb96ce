// Running the heavy loops of a run (the sample pass, the spectra) on the
// machine's cores. Every use splits the work so that the results do not depend
// on how many workers there are or how the work is shared out.
#pragma once

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

// At most this many workers, however many cores there are.
constexpr int max_workers = 8;

// The workers to use: the cores the system reports, 1 when it reports none.
inline int worker_count()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, max_workers);
}

// Calls body(w) for w = 0 .. workers - 1, each on its own thread; worker 0 is
// the calling thread. A worker whose thread cannot be started runs on the
// calling thread after worker 0, so every share is done exactly once. The
// threads are joined when they go out of scope, before this returns.
template <class Body> void run_workers(int workers, Body&& body)
{
    std::vector<int> left_over;
    {
        std::vector<std::jthread> threads;
        for (int w = 1; w < workers; ++w) {
            try {
                threads.emplace_back([&body, w] { body(w); });
            } catch (const std::system_error&) {
                left_over.push_back(w);
            }
        }
        body(0);
        for (const int w : left_over)
            body(w);
    }
}

// Calls item(i) for i = 0 .. items - 1, shared out among the workers as they
// become free (one slow core does not hold the others up).
template <class Item> void for_each_item(int items, int workers, Item&& item)
{
    std::atomic<int> next{0};
    run_workers(std::clamp(workers, 1, std::max(items, 1)), [&](int) {
        for (int i = next.fetch_add(1, std::memory_order_relaxed); i < items;
             i = next.fetch_add(1, std::memory_order_relaxed))
            item(i);
    });
}
