#include "raster/group_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "raster/file_name.h"
#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kReadFailure[] = "Error - when reading the input *.rgf file.";

class GroupFileTest : public ::testing::Test {
protected:
    std::optional<GroupFile> Read(const std::string& text, int minimumBands = 4)
    {
        testing::WriteFileBytes(dir.File("ms.rgf"), text);
        return ReadGroupFile(dir.File("ms.rgf"), minimumBands, kReadFailure, host);
    }

    testing::TempDir dir;
    testing::FakeHost host;
};

TEST_F(GroupFileTest, NamesAreReadWithAnyLineEndAndResolvedInTheGroupsFolder)
{
    for (const std::string text : {"4 bands\r\nblue\r\ngreen\r\nred\r\nnir\r\n",
                                   "4\nblue\ngreen\nred\nnir", "4\nblue\ngreen\nred\nnir\nmore\n"}) {
        const auto group = Read(text);
        ASSERT_TRUE(group.has_value()) << text;
        EXPECT_THAT(group->names, ElementsAre("blue", "green", "red", "nir"));
        EXPECT_EQ(group->BandPath(2), dir.Path() + "/red.rst");
    }
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(GroupFileTest, TooFewBandsForTheTool)
{
    EXPECT_TRUE(Read("3\nb\ng\nr\n", 3).has_value());
    EXPECT_FALSE(Read("3\nb\ng\nr\n", 4).has_value());
    EXPECT_FALSE(Read("65539\nb\ng\nr\n", 4).has_value());  // a 16-bit count: 3
    EXPECT_FALSE(Read("-4\n", 3).has_value());
    EXPECT_THAT(host.Messages(),
                ElementsAre("Idrisi32's Group Raster File (*.rgf) should contain at least 4 images.",
                            "Idrisi32's Group Raster File (*.rgf) should contain at least 4 images.",
                            "Idrisi32's Group Raster File (*.rgf) should contain at least 3 images."));
}

TEST_F(GroupFileTest, RstExtensionInAnyCaseIsRefused)
{
    EXPECT_FALSE(Read("4\nblue\ngreen.RST\nred\nnir\n").has_value());
    EXPECT_THAT(host.Messages(),
                ElementsAre("Check Idrisi32's Group Raster File (*.rgf): Files in the group file "
                            "should have no .rst extension."));
}

TEST_F(GroupFileTest, UnreadableShortOrOverlongFilesGiveTheReadFailure)
{
    EXPECT_FALSE(ReadGroupFile(dir.File("missing.rgf"), 4, kReadFailure, host).has_value());
    EXPECT_FALSE(Read("4\nblue\ngreen\nred\n").has_value());
    EXPECT_FALSE(Read("four\nblue\n").has_value());
    EXPECT_FALSE(Read("4\nblue\n" + std::string(255, 'n') + "\nred\nnir\n").has_value());
    EXPECT_TRUE(Read("4\nblue\n" + std::string(254, 'n') + "\nred\nnir\n").has_value());
    EXPECT_THAT(host.Messages(), ElementsAre(kReadFailure, kReadFailure, kReadFailure, kReadFailure));
}

TEST_F(GroupFileTest, RealGroupFileIsRead)
{
    const std::string scenes = testing::SharedScenesFolder();
    if (scenes.empty()) GTEST_SKIP() << "no shared scenes";
    const auto group = ReadGroupFile(scenes + "ps16/idrisi/ms.rgf", 4, kReadFailure, host);
    ASSERT_TRUE(group.has_value());
    EXPECT_EQ(group->names.size(), 4u);
    for (std::size_t i = 0; i < group->names.size(); ++i) EXPECT_TRUE(FileExists(group->BandPath(i)));
}

}  // namespace
}  // namespace lumesta
