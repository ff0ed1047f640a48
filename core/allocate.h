#pragma once
// Allocation of a run's large buffers: a request that cannot be met shows the run's message
// instead of ending the program.

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

inline const std::string kCannotAllocate = "Error: reading image file - Cannot allocate memory";

// Resizes buffer to count elements (zero-filled); false after showing message when the memory
// cannot be had.
template <typename T>
bool TryAllocate(std::vector<T>& buffer, std::int64_t count, Host& host,
                 const std::string& message = kCannotAllocate)
{
    try {
        if (count < 0 || static_cast<std::uint64_t>(count) > buffer.max_size()) throw std::bad_alloc();
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
