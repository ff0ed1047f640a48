#pragma once
// Runs independent work items on every core. Each item writes only its own results, so what
// is computed does not depend on the number of threads; callers combine the results afterwards
// in item order.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace lumesta {

// Calls work(i) for i = 0 .. count − 1, spread over up to maxThreads threads (0: one per core,
// at most 16); this thread takes items too.
template <typename Work>
void ParallelFor(std::int64_t count, Work&& work, unsigned maxThreads = 0)
{
    unsigned threads = maxThreads != 0 ? maxThreads : std::thread::hardware_concurrency();
    threads = std::max(1u, std::min(16u, threads));
    const std::int64_t helpers =
        std::max<std::int64_t>(0, std::min<std::int64_t>(threads, count) - 1);
    std::atomic<std::int64_t> next{0};
    auto loop = [&] {
        for (std::int64_t i = next++; i < count; i = next++) work(i);
    };
    std::vector<std::thread> workers;
    for (std::int64_t i = 0; i < helpers; ++i) workers.emplace_back(loop);
    loop();
    for (auto& worker : workers) worker.join();
}

}  // namespace lumesta
