#include "raster/group_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kReadFailure[] = "Error - when reading the input *.rgf file.";
const char kAtLeast[] = "Idrisi32's Group Raster File (*.rgf) should contain at least ";

class GroupFileTest : public ::testing::Test {
protected:
    bool Read(const std::string& text, int minimumBands = 4)
    {
        testing::WriteFileBytes(dir.File("ms.rgf"), text);
        group = ReadGroupFile(dir.File("ms.rgf"), minimumBands, kReadFailure, host);
        return group.has_value();
    }

    testing::TempDir dir;
    testing::FakeHost host;
    std::optional<GroupFile> group;
};

TEST_F(GroupFileTest, NamesWithAnyLineEndResolveInTheGroupsFolder)
{
    for (const char* text : {"4 bands\r\nblue\r\ngreen\r\nred\r\nnir\r\n",
                             "4\nblue\ngreen\nred\nnir", "4\nblue\ngreen\nred\nnir\nextra\n"}) {
        ASSERT_TRUE(Read(text)) << text;
        EXPECT_THAT(group->names, ElementsAre("blue", "green", "red", "nir"));
        EXPECT_EQ(group->BandPath(2), dir.Path() + "/red.rst");
    }
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(GroupFileTest, RefusalsAndTheirMessages)
{
    EXPECT_TRUE(Read("3\nb\ng\nr\n", 3));
    EXPECT_FALSE(Read("3\nb\ng\nr\n", 4));
    EXPECT_FALSE(Read("65539\nb\ng\nr\n", 4));  // a 16-bit count: 3
    EXPECT_FALSE(Read("-4\n", 3));
    EXPECT_FALSE(Read("4\nblue\ngreen.RST\nred\nnir\n"));
    EXPECT_FALSE(ReadGroupFile(dir.File("missing.rgf"), 4, kReadFailure, host).has_value());
    EXPECT_FALSE(Read("4\nblue\ngreen\nred\n"));
    EXPECT_FALSE(Read("four\nblue\n"));
    EXPECT_FALSE(Read("4\nblue\n" + std::string(255, 'n') + "\nred\nnir\n"));
    EXPECT_TRUE(Read("4\nblue\n" + std::string(254, 'n') + "\nred\nnir\n"));
    EXPECT_THAT(
        host.Messages(),
        ElementsAre(std::string(kAtLeast) + "4 images.", std::string(kAtLeast) + "4 images.",
                    std::string(kAtLeast) + "3 images.",
                    "Check Idrisi32's Group Raster File (*.rgf): Files in the group file "
                    "should have no .rst extension.",
                    kReadFailure, kReadFailure, kReadFailure, kReadFailure));
}

}  // namespace
}  // namespace lumesta
