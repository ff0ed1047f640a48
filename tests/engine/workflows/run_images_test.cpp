// A finished run's images must be the files the run wrote and read, band for band, so that the
// viewer compares the right things.

#include "workflows/run_images.h"

#include <gtest/gtest.h>

#include "fusion/fusion_run.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

TEST(RunImagesTest, FourBandEnviRunShowsItsFusedBandsAgainstTheBandsOfTheOneInputFile)
{
    TempDir dir;
    const Scene scene = MakeScene(512, 256);
    WriteEnvi4Scene(dir.Path(), scene);
    PanSharpenJob job = BrowsedJob(dir.Path(), "img", true);
    FakeHost host;
    RunCounters counters;
    ASSERT_EQ(RunPanSharpen(job, counters, host), RunOutcome::Finished)
        << ::testing::PrintToString(host.Messages());
    const RunImages images = ImagesOfRun(job);
    ASSERT_EQ(images.result.size(), 4u);
    std::string error;
    const auto result = OpenBandFiles(images.result, error);
    const auto inputs = OpenBandFiles(images.inputs, error);
    const auto pan = OpenBandFiles({images.pan}, error);
    ASSERT_TRUE(result && inputs && pan) << error;
    EXPECT_EQ(result->Description().bandNames,
              (std::vector<std::string>{"Blue", "Green", "Red", "NIR"}));
    EXPECT_EQ(inputs->Description().dataPaths, std::vector<std::string>{dir.File("ms.img")});
    EXPECT_EQ(result->Description().width, 512);
    EXPECT_EQ(inputs->Description().width, 128);
    for (int band = 0; band < 4; ++band) {
        const std::vector<std::int16_t> fused = ReadInt16File(images.result[band].path);
        EXPECT_EQ(result->ReadValue(band, 17, 33).value_or(-1), fused[33 * 512 + 17]);
        EXPECT_EQ(inputs->ReadValue(band, 5, 7).value_or(-1), scene.ms[band][7 * 128 + 5]);
    }
    EXPECT_EQ(pan->ReadValue(0, 100, 90).value_or(-1), scene.pan[90 * 512 + 100]);

    std::vector<BandFile> wrong = images.result;
    wrong[1] = images.inputs[1];
    EXPECT_FALSE(OpenBandFiles(wrong, error));
    EXPECT_EQ(error, "ms.img has another size than ms_Fused1.img.");
}

}  // namespace
}  // namespace lumesta::testing
