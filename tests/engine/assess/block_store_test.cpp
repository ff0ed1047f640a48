// Block values put a panel at a time come back a block row at a time in image order, from
// memory or from the temporary file, which goes with the store.

#include "assess/block_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

TEST(BlockStoreTest, PanelsPutOutOfOrderComeBackInImageOrderAndTheFileGoes)
{
    TempDir dir;
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before != nullptr ? before : "";
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    for (std::int64_t memory : {BlockStore::kMemoryBytes, std::int64_t{0}}) {
        FakeHost host;
        {
            BlockStore store;
            ASSERT_TRUE(store.Open(3, 5, 2, host, memory));
            // Two panels: columns 3..4 of every row first, then columns 0..2.
            for (std::int64_t row = 0; row < 3; ++row) {
                const double right[] = {row * 10 + 3., -1, row * 10 + 4., -1};
                ASSERT_TRUE(store.Put(row, 3, 2, right));
            }
            for (std::int64_t row = 0; row < 3; ++row) {
                const double left[] = {row * 10., -1, row * 10 + 1., -1, row * 10 + 2., -1};
                ASSERT_TRUE(store.Put(row, 0, 3, left));
            }
            std::vector<double> values;
            ASSERT_TRUE(store.TakeRow(2, values));
            EXPECT_THAT(values, ::testing::ElementsAre(20, -1, 21, -1, 22, -1, 23, -1, 24, -1));
            EXPECT_EQ(std::filesystem::is_empty(dir.Path()), memory != 0);
        }
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
        EXPECT_THAT(host.Messages(), ::testing::ElementsAre());
    }
    if (before != nullptr) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

}  // namespace
}  // namespace lumesta::testing
