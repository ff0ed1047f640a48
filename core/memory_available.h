#pragma once
// How much memory a run can still commit: the least of the system's available memory, the
// room left under the process's control-group limits and the room left under its address
// space limit. Large buffers are checked against it before they are made, so that a request
// that cannot be met shows the run's message instead of the kernel ending the program.

#include <cstdint>
#include <optional>
#include <string>

namespace lumesta {

// The bytes that can still be committed; nothing when no figure could be read.
std::optional<std::uint64_t> AvailableMemory();

// Reads a "MemAvailable:" figure (kB) from /proc/meminfo text; nothing when absent.
std::optional<std::uint64_t> MemAvailableOf(const std::string& meminfo);

// Requests below this size are never checked (reading the figures costs more than they do).
inline constexpr std::uint64_t kCheckedAllocation = std::uint64_t{64} << 20;

// True unless the figures say that bytes more cannot be committed.
bool MemoryAllows(std::uint64_t bytes);

}  // namespace lumesta
