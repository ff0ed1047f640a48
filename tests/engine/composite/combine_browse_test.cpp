#include "composite/combine_browse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;

class CombineBrowseTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeHost host;
};

TEST_F(CombineBrowseTest, GroupFillsEveryListAndNeedsFourBands)
{
    for (const char* name : {"b1", "b2", "b3", "b4"})
        WriteIdrisiHeader(dir.File(std::string(name) + ".rst"), 300, 200);
    WriteFileBytes(dir.File("three.rgf"), "3\nb1\nb2\nb3\n");
    WriteFileBytes(dir.File("four.rgf"), "4\r\nb1\r\nb2\r\nb3\r\nb4\r\n");
    BandCombinationJob job(CombineDepth::Sixteen);
    job.width = 999;
    EXPECT_FALSE(BrowseCombineBlue(job, dir.File("three.rgf"), host));
    EXPECT_THAT(
        host.Messages(),
        ElementsAre("Idrisi32's Group Raster File (*.rgf) should contain at least 4 images."));
    EXPECT_TRUE(job.bandLists[kCompositeBlue].empty());
    EXPECT_EQ(job.width, 0);

    // (What a group of four fills in: the dialog tests.)
    ASSERT_TRUE(BrowseCombineBlue(job, dir.File("four.rgf"), host));
    EXPECT_EQ(job.inputKind, ".rst");
    EXPECT_EQ(job.height, 200);
}

// (The 16-bit lists of a multi-band file: the dialog tests.) The 8-bit reader takes 3 to 8
// bands of byte data.
TEST_F(CombineBrowseTest, EightBitMultiBandEnviOffersEveryBand)
{
    WriteEnviHeader(dir.File("ms8.img"), 300, 200, 5, {}, 1);
    BandCombinationJob job8(CombineDepth::Eight);
    ASSERT_TRUE(BrowseCombineBlue(job8, dir.File("ms8.img"), host));
    EXPECT_THAT(job8.bandLists[kCompositeBlue],
                ElementsAre("Band 1", "Band 2", "Band 3", "Band 4", "Band 5"));
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(CombineBrowseTest, OutputNamesFlagsAndRefusals)
{
    BandCombinationJob job(CombineDepth::Sixteen);
    EXPECT_FALSE(BrowseCombineBand(job, kCompositeGreen, dir.File("g.raw"), host));
    EXPECT_THAT(host.Messages(), ElementsAre("Please enter the blue band first."));

    ASSERT_TRUE(BrowseCombineBlue(job, "/data/v1.2/scene", host));  // a generic matrix
    EXPECT_EQ(job.bmpPath, "/data/v1.2/scene_Composite.bmp");
    EXPECT_EQ(job.bandKind, (std::array<RasterKind, 3>{RasterKind::GeoTiffOrMatrix,
                                                       RasterKind::EnviOrIdrisi,
                                                       RasterKind::EnviOrIdrisi}));
    ASSERT_TRUE(BrowseCombineBlue(job, "/data/blue.raw", host));
    EXPECT_EQ(job.bmpPath, "/data/blue_Composite.bmp");
    ASSERT_TRUE(BrowseCombineBand(job, kCompositeRed, "/data/red.IMG", host));
    EXPECT_EQ(job.bandExt[kCompositeRed], "img");
    EXPECT_EQ(job.bandKind[kCompositeRed], RasterKind::EnviOrIdrisi);

    host.ClearMessages();
    // A batch file arms batch mode (its selectors: the dialog tests); a header that cannot be
    // opened is named, and disarms it.
    ASSERT_TRUE(BrowseCombineBlue(job, dir.File("jobs.bif"), host));
    EXPECT_TRUE(job.batchMode);
    EXPECT_FALSE(BrowseCombineBlue(job, dir.File("missing.rst"), host));
    EXPECT_FALSE(job.batchMode);
    EXPECT_EQ(host.Messages(),
              std::vector<std::string>{"Cannot open the header file " + dir.File("missing.rdc") + "."});
    EXPECT_TRUE(job.bandLists[kCompositeRed].empty());
    EXPECT_EQ(job.width, 0);
}

}  // namespace
}  // namespace lumesta::testing
