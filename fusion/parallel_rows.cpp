#include "fusion/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "core/worker_threads.h"

namespace lumesta {

bool ForEachRowInParallel(std::int64_t rows, const std::function<void(std::int64_t)>& work,
                          const std::function<bool()>& pump)
{
    const unsigned cores = WorkerThreads(16);
    const std::int64_t helpers = std::max<std::int64_t>(0, std::min<std::int64_t>(cores, rows) - 1);
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> stop{false};
    auto helperLoop = [&] {
        for (std::int64_t row = next++; row < rows && !stop; row = next++) work(row);
    };
    std::vector<std::thread> workers;
    for (std::int64_t i = 0; i < helpers; ++i) workers.emplace_back(helperLoop);
    bool cancelled = false;
    for (std::int64_t row = next++; row < rows; row = next++) {
        work(row);
        if (!pump()) {
            cancelled = true;
            stop = true;
            break;
        }
    }
    for (auto& worker : workers) worker.join();
    return !cancelled;
}

}  // namespace lumesta
