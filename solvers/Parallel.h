#pragma once
// Work shared out over threads: independent items, each done exactly once, in no fixed order.

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace numerics {

// Runs body(index, thread) for every index below count on `threads` threads.
template <class Body>
void ParallelFor(size_t count, int threads, Body body) {
    threads = std::max(1, std::min<int>(threads, static_cast<int>(std::max<size_t>(1, count))));
    std::atomic<size_t> next{0};
    auto worker = [&](int thread) {
        for (size_t i; (i = next.fetch_add(1)) < count;) body(i, thread);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker, t);
    worker(0);
    for (auto& th : pool) th.join();
}

}  // namespace numerics
