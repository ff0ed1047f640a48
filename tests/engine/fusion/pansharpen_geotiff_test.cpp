// GeoTIFF pan-sharpening runs: the same fused bands as ENVI inputs, one georeferenced GeoTIFF
// result, and no temporary file left behind on any path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "fusion/fusion_browse.h"
#include "fusion/fusion_run.h"
#include "raster/geotiff/geotiff_extract.h"
#include "raster/geotiff/geotiff_georeference.h"
#include "raster/world_file.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

const char* const kNames[4] = {"blue", "green", "red", "nir"};

// The samples of plane `plane` of a 16-bit GeoTIFF (the extraction has its own tests).
std::vector<std::int16_t> ReadPlane(const std::string& path, int plane)
{
    TempDir scratch;
    FakeHost host;
    EXPECT_EQ(ExtractGeoTiffSample(path, scratch.File("plane.raw"), plane, host), 1);
    return ReadInt16File(scratch.File("plane.raw"));
}

class PanSharpenGeoTiffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene = MakeScene(512, 512);
        WriteGeoTiffScene(dir.Path(), scene);
        WriteEnviScene(envi.Path(), scene);
    }

    PanSharpenJob Browse(bool fourBand, bool othersMayFail = false)
    {
        PanSharpenJob job;
        EXPECT_TRUE(BrowsePan(job, dir.File("pan.tif"), host));
        EXPECT_TRUE(BrowseBlue(job, dir.File(fourBand ? "ms.tif" : "blue.tif"), host));
        for (int b = 1; b < 4 && !fourBand; ++b) {
            const std::string band = dir.File(std::string(kNames[b]) + ".tif");
            EXPECT_TRUE(BrowseOtherBand(job, b, band, host) || othersMayFail);
        }
        return job;
    }

    Scene scene;
    TempDir dir, envi;
    FakeHost host;
    RunCounters counters;
};

TEST_F(PanSharpenGeoTiffTest, SeparateAndFourBandGeoTiffsGiveTheEnviResultAsOneGeoreferencedFile)
{
    PanSharpenJob reference = BrowsedJob(envi.Path(), "img");
    ASSERT_EQ(RunPanSharpen(reference, counters, host), RunOutcome::Finished);
    for (bool fourBand : {false, true}) {
        PanSharpenJob job = Browse(fourBand);
        host.ClearLog();
        ASSERT_EQ(RunPanSharpen(job, counters, host), RunOutcome::Finished)
            << ::testing::PrintToString(host.Messages());
        EXPECT_THAT(host.Log(), HasSubstr("NIR:\t" + dir.File("pan_Fused.tif") + " (Band 4)\r\n"));
        EXPECT_THAT(host.Log(), HasSubstr("    Step 0: ......\tFinished (GeoTIFF image input)\r\n"));
        EXPECT_THAT(host.Log(), HasSubstr("    Step 6: ......\tFinished (GeoTIFF image output)\r\n"));
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(ReadPlane(dir.File("pan_Fused.tif"), b),
                      ReadInt16File(envi.File(std::string(kNames[b]) + "_Fused.img")))
                << kNames[b] << (fourBand ? " from the four-band file" : "");
        }
        EXPECT_EQ(ReadFileBytes(dir.File("pan_Fused.bmp")), ReadFileBytes(envi.File("pan_Fused.bmp")));
        // The picture lies where the pan lies; the ENVI pan has no map info, so no world file.
        EXPECT_EQ(ReadFileBytes(dir.File("pan_Fused.wld")),
                  WorldFileText(ReadGeoTiffGeoreference(dir.File("pan.tif"))));
        EXPECT_TRUE(Exists(dir.File("pan_Fused.bmp.aux.xml")));
        EXPECT_FALSE(Exists(envi.File("pan_Fused.wld")));
        EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
        EXPECT_FALSE(Exists(dir.File("blue.tif_Fused_1")));  // the planes were intermediate files
        host.QueueAnswers({true});
    }
}

TEST_F(PanSharpenGeoTiffTest, FailedLengthChecksAndCancelLeaveNoTemporaryFileOrOutput)
{
    // A band one row short is refused by its header check before anything is extracted.
    WriteGeoTiff16(dir.File("green.tif"), 128, 127, {std::vector<std::int16_t>(128 * 127, 100)});
    PanSharpenJob job = Browse(false, true);
    EXPECT_EQ(RunPanSharpen(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Check the width/height of the input image."));

    host.ClearMessages();
    host.ClearLog();
    WriteGeoTiff16(dir.File("green.tif"), 128, 128, {scene.ms[1]});
    job = Browse(false);
    host.cancelAtPump = host.Pumps() + 20;
    EXPECT_EQ(RunPanSharpen(job, counters, host), RunOutcome::Cancelled);
    EXPECT_THAT(host.Log(), EndsWith("\r\nCancelled\r\n\r\n"));
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    EXPECT_FALSE(Exists(dir.File("pan_Fused.tif")));
    EXPECT_FALSE(Exists(dir.File("blue.tif_Fused_1")));
}

TEST_F(PanSharpenGeoTiffTest, ExtractionFailureEndsStepZeroAndKeepsNothing)
{
    WriteFileBytes(dir.File("red.tif"), ReadFileBytes(dir.File("red.tif")).substr(0, 400));
    PanSharpenJob job = Browse(false, true);
    EXPECT_EQ(RunPanSharpen(job, counters, host), RunOutcome::Stopped);
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    EXPECT_FALSE(Exists(dir.File("pan_Fused.tif")));
}

}  // namespace
}  // namespace lumesta::testing
