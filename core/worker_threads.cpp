#include "core/worker_threads.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace lumesta {

unsigned WorkerThreads(unsigned most)
{
    unsigned count = std::max(1u, std::min(most, std::thread::hardware_concurrency()));
    if (const char* limit = std::getenv("LUMESTA_THREADS")) {
        unsigned value = 0;
        const char* end = limit + std::strlen(limit);
        const auto result = std::from_chars(limit, end, value);
        if (result.ec == std::errc() && result.ptr == end && value > 0) count = std::min(count, value);
    }
    return count;
}

}  // namespace lumesta
