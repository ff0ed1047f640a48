#include "assess/assess_browse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/engine/assess/assess_bands.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class AssessBrowseTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeHost host;
};

// (The lists, sizes and output names each input gives: the dialog tests.) A multi-band ENVI
// file in capitals is one, and a selection picks its band; an Idrisi32 raster's headers go with
// it, and a generic matrix's leave them as they were.
TEST_F(AssessBrowseTest, MultiBandSelectionAndHeaderPaths)
{
    const std::string path = dir.File("multi.IMG");
    testing::WriteInt16File(path, std::vector<std::int16_t>(3 * 32 * 32));
    testing::WriteEnviHeader(path, 32, 32, 3, {"Blue", " Green", " Red"});
    SemivarianceJob job;
    ASSERT_TRUE(BrowseSemivarianceInput(job, path, host));
    EXPECT_EQ(job.input.extension, "img");
    EXPECT_TRUE(IsMultiBandEnvi(job.input));
    SelectAssessInputEntry(job.input, 2);
    EXPECT_EQ(job.input.bandIndex, 2);
    EXPECT_EQ(job.input.inputName, "Red");

    const std::string rst = dir.File("band.rst");
    testing::WriteInt16File(rst, std::vector<std::int16_t>(40 * 36));
    testing::WriteIdrisiHeader(rst, 40, 36);
    HaarJob haar;
    ASSERT_TRUE(BrowseHaarInput(haar, rst, host));
    EXPECT_EQ(haar.outputHeaderPath, dir.File("band_Haar.rdc"));
    EXPECT_EQ(haar.inputHeaderPath, dir.File("band.rdc"));
    testing::WriteInt16File(dir.File("matrix.raw"), std::vector<std::int16_t>(16));
    ASSERT_TRUE(BrowseHaarInput(haar, dir.File("matrix.raw"), host));
    EXPECT_EQ(haar.outputHeaderPath, dir.File("band_Haar.rdc"));
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(AssessBrowseTest, HeaderFailureEmptiesInputNameAndKeepsOutputs)
{
    SemivarianceJob job;
    job.outputPath = "kept.txt";
    const std::string path = dir.File("broken.img");
    testing::WriteInt16File(path, std::vector<std::int16_t>(16));
    testing::WriteFileBytes(dir.File("broken.hdr"), "NOT a header\n");
    EXPECT_FALSE(BrowseSemivarianceInput(job, path, host));
    EXPECT_THAT(host.Messages(), ElementsAre("To make sure this is a right ENVI header file.",
                                             "Error: Reading header file of the input image."));
    EXPECT_EQ(job.input.inputName, "");
    EXPECT_EQ(job.outputPath, "kept.txt");
}

// Choosing only names the output: an existing file keeps its bytes until the run replaces it.
TEST_F(AssessBrowseTest, ChosenOutputsAreOnlyNamed)
{
    testing::WriteFileBytes(dir.File("old.txt"), "old table");
    ImageStatsJob stats;
    ChooseImageStatsOutput(stats, dir.File("old.txt"));
    EXPECT_EQ(testing::ReadFileBytes(dir.File("old.txt")), "old table");
    EXPECT_EQ(stats.outputPath, dir.File("old.txt"));

    // The header follows the chosen raster, whatever its extension; a generic input has none.
    HaarJob haar;
    haar.input.extension = "img";
    haar.outputHeaderPath = dir.File("in_Haar.hdr");
    ChooseHaarOutputImage(haar, dir.File("elsewhere.img"));
    EXPECT_FALSE(testing::Exists(dir.File("elsewhere.img")));
    EXPECT_EQ(haar.outputImagePath, dir.File("elsewhere.img"));
    EXPECT_EQ(haar.outputHeaderPath, dir.File("elsewhere.hdr"));
    haar.input.extension = "rst";
    ChooseHaarOutputImage(haar, dir.File("result"));
    EXPECT_EQ(haar.outputHeaderPath, dir.File("result.rdc"));
    EXPECT_EQ(HaarHeaderPathFor("/d/x.y/out", "img"), "/d/x.y/out.hdr");
    EXPECT_EQ(HaarHeaderPathFor("/d/out.img", "raw"), "");
}

}  // namespace
}  // namespace lumesta
