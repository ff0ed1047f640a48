#include "core/memory_available.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace lumesta {
namespace {

std::string FileText(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<std::uint64_t> NumberIn(const std::string& text)
{
    const std::size_t first = text.find_first_of("0123456789");
    if (first == std::string::npos) return std::nullopt;
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data() + first, text.data() + text.size(), value);
    if (result.ec != std::errc()) return std::nullopt;
    return value;
}

void TakeSmaller(std::optional<std::uint64_t>& least, std::uint64_t value)
{
    least = least ? std::min(*least, value) : value;
}

// The group named after `marker` in /proc/self/cgroup ("0::" for version 2, ":memory:" for
// version 1); empty when there is none.
std::string ControlGroup(const std::string& self, const std::string& marker)
{
    const std::size_t at = self.find(marker);
    if (at == std::string::npos) return "";
    const std::string group = self.substr(at + marker.size());
    return group.substr(0, group.find('\n'));
}

// The room under the limit of a control group and of each group above it. A limit of "max"
// (version 2) or beyond any real memory (version 1) means no limit there.
void TakeGroupRoom(std::optional<std::uint64_t>& least, const std::string& root, std::string group,
                   const char* limitFile, const char* usageFile)
{
    constexpr std::uint64_t kNoLimit = std::uint64_t{1} << 60;
    while (!group.empty()) {
        const std::string folder = root + (group == "/" ? std::string() : group);
        const std::string limit = FileText(folder + "/" + limitFile);
        const std::optional<std::uint64_t> max = NumberIn(limit);
        const std::optional<std::uint64_t> used = NumberIn(FileText(folder + "/" + usageFile));
        if (limit.rfind("max", 0) != 0 && max.has_value() && used.has_value() &&
            max.value_or(0) < kNoLimit) {
            const std::uint64_t ceiling = max.value_or(0);
            const std::uint64_t current = used.value_or(0);
            TakeSmaller(least, ceiling > current ? ceiling - current : 0);
        }
        if (group == "/") break;
        const std::size_t slash = group.rfind('/');
        group = slash == 0 || slash == std::string::npos ? "/" : group.substr(0, slash);
    }
}

void TakeControlGroupRoom(std::optional<std::uint64_t>& least)
{
    const std::string self = FileText("/proc/self/cgroup");
    TakeGroupRoom(least, "/sys/fs/cgroup", ControlGroup(self, "0::"), "memory.max",
                  "memory.current");
    TakeGroupRoom(least, "/sys/fs/cgroup/memory", ControlGroup(self, ":memory:"),
                  "memory.limit_in_bytes", "memory.usage_in_bytes");
}

void TakeAddressSpaceRoom(std::optional<std::uint64_t>& least)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    const auto pages = NumberIn(FileText("/proc/self/statm"));
    if (!pages) return;
    const std::uint64_t used = *pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    TakeSmaller(least, limit.rlim_cur > used ? limit.rlim_cur - used : 0);
}

}  // namespace

std::optional<std::uint64_t> MemAvailableOf(const std::string& meminfo)
{
    const std::size_t at = meminfo.find("MemAvailable:");
    if (at == std::string::npos) return std::nullopt;
    const auto kilobytes = NumberIn(meminfo.substr(at, meminfo.find('\n', at) - at));
    if (!kilobytes) return std::nullopt;
    return *kilobytes * 1024;
}

std::optional<std::uint64_t> AvailableMemory()
{
    std::optional<std::uint64_t> least = MemAvailableOf(FileText("/proc/meminfo"));
    TakeControlGroupRoom(least);
    TakeAddressSpaceRoom(least);
    return least;
}

bool MemoryAllows(std::uint64_t bytes)
{
    if (bytes < kCheckedAllocation) return true;
    const std::optional<std::uint64_t> available = AvailableMemory();
    return !available || bytes <= *available;
}

}  // namespace lumesta
