#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <filesystem>

#include "core/truncate.h"
#include "assess/assess_browse.h"
#include "assess/haar_cascade.h"
#include "assess/haar_transform.h"
#include "tests/engine/assess/assess_bands.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;

// The decomposition computed the plain way, a whole level at a time: the raster and, for each
// level, the four sub-bands' ranges (entry 4 (k − 1) + s).
struct ReferenceHaar {
    std::vector<float> raster;
    std::vector<std::array<double, 2>> ranges;
};

ReferenceHaar Decompose(const std::vector<std::int16_t>& band, int width, int height, int levels,
                        float f)
{
    ReferenceHaar out{std::vector<float>(band.size()), {}};
    std::vector<std::int64_t> x(band.begin(), band.end());  // row stride: the band's width
    int w = width;
    int h = height;
    for (int k = 1; k <= levels; ++k) {
        w /= 2;
        h /= 2;
        std::array<std::vector<float>, 4> bands;
        for (auto& b : bands) b.resize(static_cast<std::size_t>(w) * h);
        for (int i = 0; i < h; ++i) {
            for (int j = 0; j < w; ++j) {
                const auto at = [&](int r, int c) { return x[r * width + c]; };
                const HaarCoefficients c = HaarBlock(at(2 * i, 2 * j), at(2 * i, 2 * j + 1),
                                                     at(2 * i + 1, 2 * j),
                                                     at(2 * i + 1, 2 * j + 1), f);
                const std::size_t n = static_cast<std::size_t>(i) * w + j;
                bands[0][n] = c.approximation;
                bands[1][n] = c.detail1;
                bands[2][n] = c.detail2;
                bands[3][n] = c.detail3;
            }
        }
        const int origins[4][2] = {{0, 0}, {0, w}, {h, 0}, {h, w}};
        for (int s = 0; s < 4; ++s) {
            const auto [low, high] = std::minmax_element(bands[s].begin(), bands[s].end());
            out.ranges.push_back({*low, *high});
            if (s == 0 && k < levels) continue;
            for (int i = 0; i < h; ++i) {
                for (int j = 0; j < w; ++j) {
                    out.raster[static_cast<std::size_t>(origins[s][0] + i) * width + origins[s][1] +
                               j] = bands[s][static_cast<std::size_t>(i) * w + j];
                }
            }
        }
        for (std::size_t n = 0; n < bands[0].size(); ++n) {
            x[(n / w) * width + n % w] = TruncToInt(bands[0][n]);
        }
    }
    return out;
}

class HaarStreamTest : public ::testing::Test {
protected:
    HaarJob Job(const std::string& name, int w, int h, const std::vector<std::int16_t>& samples,
                int levels)
    {
        const std::string path = dir.File(name);
        testing::WriteInt16File(path, samples);
        testing::WriteAssessEnviHeader(path, w, h, 1, 2, "Band A");
        HaarJob job;
        if (!BrowseHaarInput(job, path, host)) throw std::runtime_error("browse failed");
        job.levels = levels;
        return job;
    }

    testing::TempDir dir;
    testing::FakeHost host;
    RunCounters counters;
};

// 1024 × 4096 16-bit samples are read in two strips; every level still pairs its lines across
// the strip boundary, and the picture stretches each sub-band by its own range.
TEST_F(HaarStreamTest, RasterAndPictureEqualAWholeLevelDecompositionAcrossStrips)
{
    const int w = 1024;
    const int h = 4096;
    const std::vector<std::int16_t> band = testing::PatternBand(w, h, 30000, 11);
    HaarJob job = Job("tall.img", w, h, band, 5);
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    const ReferenceHaar expected = Decompose(band, w, h, 5, 0.70710677f);
    const std::string raster = testing::ReadFileBytes(job.outputImagePath);
    ASSERT_EQ(raster.size(), expected.raster.size() * 4);
    EXPECT_EQ(std::memcmp(raster.data(), expected.raster.data(), raster.size()), 0);

    // Line 3000 lies in level 1's lower half (D2, D3); line 10 crosses every level's D1 and
    // level 5's approximation.
    const std::string bmp = testing::ReadFileBytes(job.bmpPath);
    const auto pixel = [&](int line, int column) {
        return static_cast<std::uint8_t>(bmp[54 + (h - 1 - line) * w * 3 + column * 3]);
    };
    const auto stretched = [&](int line, int column, int range) {
        const auto [m, M] = expected.ranges[static_cast<std::size_t>(range)];
        const float v = expected.raster[static_cast<std::size_t>(line) * w + column];
        return static_cast<std::uint8_t>(TruncToInt16((v - m) * 255 / (M - m)));
    };
    for (const auto& [line, column, range] : std::vector<std::array<int, 3>>{
             {3000, 5, 2}, {3000, 900, 3}, {10, 700, 1}, {10, 300, 5}, {10, 20, 16}, {10, 40, 17}}) {
        EXPECT_EQ(pixel(line, column), stretched(line, column, range)) << line << "," << column;
    }
}

TEST_F(HaarStreamTest, HeaderGoesBesideTheChosenOutput)
{
    HaarJob job = Job("band.img", 64, 64, testing::PatternBand(64, 64, 500), 1);
    std::filesystem::create_directory(dir.File("out"));
    job.outputImagePath = dir.File("out/result.img");
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    EXPECT_TRUE(testing::Exists(dir.File("out/result.hdr")));
    EXPECT_FALSE(testing::Exists(dir.File("band_Haar.hdr")));
    EXPECT_THAT(testing::ReadFileBytes(dir.File("out/result.hdr")),
                EndsWith("Haar Wavelet Transform (Band:band.img)}"));

    // A raster whose header would replace the input's own is refused before anything is written.
    job.outputImagePath = dir.File("band.dat");
    EXPECT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages().back(), ::testing::StartsWith(dir.File("band.hdr") + " is an input"));
    EXPECT_FALSE(testing::Exists(dir.File("band.dat")));
}

TEST_F(HaarStreamTest, FailedPictureOrHeaderStopsTheRunAndRemovesItsOutputs)
{
    HaarJob job = Job("band.img", 64, 64, testing::PatternBand(64, 64, 500), 2);
    std::filesystem::create_directory(dir.File("band_Haar.hdr"));  // cannot be written
    EXPECT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Error - when writing to the output file!"));
    EXPECT_THAT(host.Log(), EndsWith("Unsucessful\r\n\r\n"));
    EXPECT_FALSE(testing::Exists(job.outputImagePath));
    EXPECT_FALSE(testing::Exists(job.bmpPath));

    std::filesystem::remove(dir.File("band_Haar.hdr"));
    std::filesystem::create_directory(job.bmpPath);  // not empty: the overwrite cannot remove it
    testing::WriteFileBytes(job.bmpPath + "/keep", "x");
    host.ClearMessages();
    EXPECT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Unable to open file for writing"));
    EXPECT_FALSE(testing::Exists(job.outputImagePath));
    EXPECT_FALSE(testing::Exists(job.outputHeaderPath));
}

TEST_F(HaarStreamTest, CancelWhileThePictureIsWrittenLeavesNothing)
{
    HaarJob job = Job("band.img", 64, 64, testing::PatternBand(64, 64, 500), 2);
    const long before = host.Pumps();
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    const long runPumps = host.Pumps() - before;
    for (const std::string& path : {job.outputImagePath, job.bmpPath, job.outputHeaderPath})
        std::filesystem::remove(path);
    host.cancelAtPump = host.Pumps() + runPumps - 20;  // the picture pumps once per line
    EXPECT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Cancelled);
    EXPECT_THAT(host.Log(), EndsWith("Cancelled\r\n\r\n"));
    for (const std::string& path : {job.outputImagePath, job.bmpPath, job.outputHeaderPath})
        EXPECT_FALSE(testing::Exists(path)) << path;
}

}  // namespace
}  // namespace lumesta
