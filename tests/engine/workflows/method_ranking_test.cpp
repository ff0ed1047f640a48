// --method auto's ranking: the window with the most detail, the protocol run on it, the best
// Q2n chosen and reported. Methods here are stand-ins whose quality is known: one returns the
// reference itself, one stripes, one fails.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "raster/envi_band_writer.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"
#include "workflows/method_ranking.h"

namespace lumesta {
namespace {

using testing::FakeHost;
using testing::TempDir;

// A pan of zeros (no data) around a frame of gentle slope, with a textured square whose corner
// is at (x, y).
std::vector<double> PanWithTexture(std::int64_t side, std::int64_t x0, std::int64_t y0)
{
    std::vector<double> pan(static_cast<std::size_t>(side * side), 0.0);
    for (std::int64_t y = 16; y < side - 16; ++y) {
        for (std::int64_t x = 16; x < side - 16; ++x) {
            const bool textured = x >= x0 && x < x0 + 300 && y >= y0 && y < y0 + 300;
            pan[y * side + x] = 500 + x / 8 + (textured ? 200 * ((x * 7 + y * 13) % 5) : 0);
        }
    }
    return pan;
}

// The window lands on the textured part, on whole 4 × 4 blocks of MS pixels; the zeros' edges
// count for nothing although their steps are the largest; a pan that fits is taken whole,
// cut to whole blocks, without being read.
TEST(MethodRankingTest, WindowHasTheMostDetailOnWholeMsBlocks)
{
    const auto going = [] { return true; };
    BufferStream pan(3072, 3072, PanWithTexture(3072, 2200, 900));
    PanWindow window;
    ASSERT_TRUE(DetailWindow(pan, 4, 2048, going, window));
    EXPECT_EQ(window.width, 2048);
    EXPECT_EQ(window.height, 2048);
    // Of the places covering the texture, the first covering only the frame's slope: the steps
    // from the zeros to the frame (right and top) would have pulled it to x 1024 or y 0.
    EXPECT_EQ(window.x, 512);
    EXPECT_EQ(window.y, 256);
    BufferStream small(1000, 700, std::vector<double>(700000, 1.0));
    ASSERT_TRUE(DetailWindow(small, 4, 2048, going, window));
    EXPECT_EQ(window.x, 0);
    EXPECT_EQ(window.y, 0);
    EXPECT_EQ(window.width, 992);
    EXPECT_EQ(window.height, 688);
}

class RankingTest : public ::testing::Test {
protected:
    BandSource Band(const std::string& name, const std::vector<double>& samples, int width,
                    int height)
    {
        BandSource source;
        const std::string path = dir.File(name + ".img");
        EXPECT_TRUE(WriteEnviBand(path, name, samples, width, height, SampleType::Int16, host));
        EXPECT_TRUE(DescribeRaster(path, GenericSize{}, source.layout, host));
        return source;
    }

    // A stand-in method: fused band k is made from the reduced scene by make(scene, k).
    FusionMethodEntry Method(const std::string& name,
                             std::function<std::vector<double>(const DegradedScene&, int)> make)
    {
        FusionMethodEntry entry;
        entry.name = name;
        entry.label = name;
        entry.fuse = [this, make](const DegradedScene& scene, const std::string& folder, Host&,
                                  std::vector<BandSource>& fused) {
            if (!make) return RunOutcome::Stopped;
            for (int k = 0; k < 4; ++k) {
                const std::string path = folder + "/f" + std::to_string(k) + ".img";
                RasterLayout layout;
                WriteEnviBand(path, "f", make(scene, k), scene.panWidth, scene.panHeight,
                              SampleType::Int16, host);
                DescribeRaster(path, GenericSize{}, layout, host);
                fused.push_back({layout, 0});
            }
            return RunOutcome::Finished;
        };
        return entry;
    }

    TempDir dir;
    FakeHost host;
};

// One method clearly wins (it returns the MS itself, Q2n 1) and is chosen wherever it stands in
// the list; one that fails is reported as not measured and does not stop the ranking.
TEST_F(RankingTest, ChoosesTheBestQ2nAndReportsEveryCandidate)
{
    const int side = 128, msSide = 32;
    std::vector<double> pan(side * side);
    for (int i = 0; i < side * side; ++i) pan[i] = 300 + (i * 37) % 211;
    std::vector<std::vector<double>> bands(4, std::vector<double>(msSide * msSide));
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < msSide * msSide; ++i) bands[k][i] = 200 + 50 * k + (i * (k + 3)) % 97;
    }
    std::vector<BandSource> ms;
    for (int k = 0; k < 4; ++k) ms.push_back(Band("ms" + std::to_string(k), bands[k], 32, 32));
    const auto stripes = [](const DegradedScene& scene, int k) {
        std::vector<double> out(scene.panWidth * scene.panHeight);
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = 300.0 + k + i % 7;
        return out;
    };
    const auto truth = [&](const DegradedScene&, int k) { return bands[k]; };
    const std::vector<FusionMethodEntry> registry = {
        Method("stripes", stripes), Method("broken", nullptr), Method("truth", truth)};
    MethodRanking ranking;
    const SensorGains sensor = *FindSensor("generic");
    ASSERT_EQ(RankMethods(Band("pan", pan, side, side), ms, 4, sensor, host,
                          [] { return true; }, ranking, registry),
              RunOutcome::Finished)
        << (host.Messages().empty() ? "" : host.Messages()[0]);
    ASSERT_NE(ranking.best, nullptr);
    EXPECT_EQ(ranking.best->name, "truth");
    ASSERT_EQ(ranking.scores.size(), 3u);
    EXPECT_NEAR(ranking.scores[2].q2n, 1.0, 1e-12);
    EXPECT_LT(ranking.scores[0].q2n, 0.5);
    EXPECT_TRUE(std::isnan(ranking.scores[1].q2n));
    const std::vector<std::string> lines = RankingReportLines(ranking);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Method chosen by auto:\ttruth\r\n");
    EXPECT_EQ(lines[2], "Auto candidate:\tbroken\tnot measured\r\n");
    EXPECT_EQ(lines[3],
              "Auto candidate:\ttruth\tERGAS 0.000000\tSAM 0.000000\tQ2n 1.000000\tSCC 1.000000\r\n");
}

}  // namespace
}  // namespace lumesta
