#pragma once
// Allocation of a run's large buffers: a request that cannot be met shows the run's message
// instead of ending the program.

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/memory_available.h"

namespace lumesta {

inline const std::string kCannotAllocate = "Error: reading image file - Cannot allocate memory";

// Resizes buffer to count elements (zero-filled); false after showing message when the memory
// cannot be had. A large request is first compared with the memory the run can still commit,
// since the system may grant more than it can hold and end the program while it is filled.
template <typename T>
bool TryAllocate(std::vector<T>& buffer, std::int64_t count, Host& host,
                 const std::string& message = kCannotAllocate)
{
    try {
        if (count < 0 || static_cast<std::uint64_t>(count) > buffer.max_size() ||
            !MemoryAllows(static_cast<std::uint64_t>(count) * sizeof(T))) {
            throw std::bad_alloc();
        }
        buffer.assign(static_cast<std::size_t>(count), T{});
        return true;
    } catch (const std::bad_alloc&) {
        buffer.clear();
        buffer.shrink_to_fit();
        host.ShowMessage(message);
        return false;
    } catch (const std::length_error&) {
        buffer.clear();
        host.ShowMessage(message);
        return false;
    }
}

}  // namespace lumesta
