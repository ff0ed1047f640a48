#include "core/memory_available.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/allocate.h"
#include "tests/support/fake_host.h"

namespace lumesta {
namespace {

TEST(MemoryAvailableTest, ReadsTheAvailableFigureOfTheSystem)
{
    EXPECT_EQ(MemAvailableOf("MemTotal:  100 kB\nMemFree:    50 kB\nMemAvailable:    2048 kB\n"),
              2048u * 1024u);
    EXPECT_FALSE(MemAvailableOf("MemTotal:  100 kB\n").has_value());
    const std::optional<std::uint64_t> available = AvailableMemory();
    ASSERT_TRUE(available.has_value());  // /proc/meminfo is always there on Linux
    EXPECT_GT(*available, 0u);
}

// A buffer beyond what the run can commit is refused with the run's message before any of it
// is touched (the system would grant it and end the program while it is zero-filled).
TEST(MemoryAvailableTest, TryAllocateRefusesMoreThanCanBeCommitted)
{
    testing::FakeHost host;
    const std::uint64_t available = AvailableMemory().value_or(0);
    std::vector<std::uint8_t> buffer;
    EXPECT_FALSE(TryAllocate(buffer, static_cast<std::int64_t>(available + (std::uint64_t{1} << 30)),
                             host, "no memory"));
    EXPECT_THAT(host.Messages(), ::testing::ElementsAre("no memory"));
    EXPECT_TRUE(buffer.empty());
    EXPECT_TRUE(MemoryAllows(kCheckedAllocation - 1));
    EXPECT_TRUE(TryAllocate(buffer, 1 << 20, host));
}

}  // namespace
}  // namespace lumesta
