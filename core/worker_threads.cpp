#include "core/worker_threads.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace lumesta {

unsigned WorkerThreads(unsigned most)
{
    // The processor count is read once: asking the system reads a file each time, and the
    // parallel loops ask thousands of times a run.
    static const unsigned processors = std::thread::hardware_concurrency();
    unsigned count = std::max(1u, std::min(most, processors));
    if (const char* limit = std::getenv("LUMESTA_THREADS")) {
        unsigned value = 0;
        const char* end = limit + std::strlen(limit);
        const auto result = std::from_chars(limit, end, value);
        if (result.ec == std::errc() && result.ptr == end && value > 0) count = std::min(count, value);
    }
    return count;
}

}  // namespace lumesta
