#include "fusion/fusion_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fusion/fusion_browse.h"
#include "fusion/optimisation/etm_arithmetic.h"
#include "fusion/filters.h"
#include "fusion/optimisation/matrix.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/report_text.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

const char* const kNames[3] = {"blue", "green", "red"};

EtmJob WriteAndBrowse(const std::string& dir, const Scene8& s)
{
    WriteEnviScene8(dir, s);
    FakeHost host;
    EtmJob job;
    EXPECT_TRUE(BrowseEtmPan(job, dir + "/pan.img", host));
    for (int b = 0; b < 3; ++b) {
        const std::string path = dir + "/" + kNames[b] + ".img";
        EXPECT_TRUE(b == 0 ? BrowseEtmBlue(job, path, host) : BrowseEtmOtherBand(job, b, path, host));
    }
    return job;
}

// The fused bands straight from the whole-image definition (no strips), then post-processing.
std::array<std::vector<std::uint8_t>, 3> Reference(const Scene8& s, EtmFilter filter, bool intercept)
{
    const int msW = s.width / 2, msH = s.height / 2, m = static_cast<int>(msH * 0.0625);
    std::vector<std::uint8_t> low(static_cast<std::size_t>(msW) * msH);
    BlockAverage2(msH, msW, s.pan.data(), s.width, low.data());
    const int k = intercept ? 4 : 3;
    NormalEquations equations(k);
    for (int row = 0; row < m; ++row) {
        for (int j = 0; j < msW; ++j) {
            const std::size_t i = static_cast<std::size_t>(16 * row) * msW + j;
            const std::int32_t x[4] = {1, s.ms[0][i], s.ms[1][i], s.ms[2][i]};
            equations.Add(intercept ? x : x + 1, low[i]);
        }
    }
    FakeHost host;
    auto inverted = MakeMatrix<float>(k, k), scratch = MakeMatrix<float>(k, k);
    auto solution = MakeMatrix<float>(k, 1);
    inverse(k, k, equations.NormalMatrix(), inverted, scratch, host);
    MultiplyFloatMatrices(k, k, inverted, k, 1, equations.RightHandSide(), solution, host);
    EtmCoefficients c;
    c.method = intercept ? FusionMethod::Optimisation2 : FusionMethod::Optimisation1;
    for (int i = 0; i < k; ++i) c.c[i] = solution[i][0];
    std::array<std::vector<std::uint8_t>, 3> out;
    for (auto& band : out) band.assign(s.pan.size(), 0);
    auto residual = [&](std::size_t i) { return double(EtmResidual(c, low[i], s.ms[0][i], s.ms[1][i], s.ms[2][i])); };
    for (int d = 0; d + 1 < msH; ++d) {
        for (int e = 0; e + 1 < msW; ++e) {
            const std::size_t i00 = static_cast<std::size_t>(d) * msW + e, i10 = i00 + msW;
            for (int p = 0; p < 2; ++p) {
                for (int q = 0; q < 2; ++q) {
                    const auto w = BilinearWeights2(p, q);
                    double v[3];
                    for (int b = 0; b < 3; ++b) {
                        v[b] = Interpolate(w, s.ms[b][i00], s.ms[b][i00 + 1], s.ms[b][i10], s.ms[b][i10 + 1]);
                    }
                    const double r = Interpolate(w, residual(i00), residual(i00 + 1), residual(i10), residual(i10 + 1));
                    const std::size_t pix = static_cast<std::size_t>(2 * d + 1 + p) * s.width + 2 * e + 1 + q;
                    const auto f = FuseEtmPixel(c, v[0], v[1], v[2], r, s.pan[pix]);
                    for (int b = 0; b < 3; ++b) out[b][pix] = f[b];
                }
            }
        }
    }
    for (auto& band : out) {
        ReplicateBorders2(s.height, s.width, band.data());
        if (filter == EtmFilter::SmoothSharpen) {
            FilterBand8(s.height, s.width, band.data(), Kernel8::Smooth, host);
            FilterBand8(s.height, s.width, band.data(), Kernel8::Sharpen, host);
        }
    }
    return out;
}


class EtmRunTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeHost host;
    RunCounters counters;
};

TEST_F(EtmRunTest, ReportSectionsFollowTheLandsatLayout)
{
    EtmJob job = WriteAndBrowse(dir.Path(), MakeScene8(512, 512));
    job.filterType = EtmFilter::Detail;
    job.filterFlags = {true, false, true};
    ASSERT_EQ(RunEtmPanSharpen(job, counters, host), RunOutcome::Finished)
        << ::testing::PrintToString(host.Messages());
    const std::string log = MaskTimes(host.Log());
    EXPECT_THAT(log, HasSubstr("File Size:\t\t262144 bytes\r\n\r\n(b) Input Low Resolution"));
    EXPECT_THAT(log, HasSubstr("Image Size:\t\t65536 pixels\r\nFile Size:\t\t65536 bytes\r\n\r\n(c)"));
    EXPECT_THAT(log, HasSubstr("Spatial Filtering:\tDetail\r\n\t- Blue:\t\tYes\r\n\t- Green:\tNo\r\n"
                               "\t- Red:\t\tYes\r\n(d) Output Pan-Sharpened Colour Images:\r\nBlue:\t"));
    EXPECT_THAT(log, HasSubstr("\r\n(e) Analytical Steps \r\n    Step 1: ........\tFinished\r\n"
                               "    Step 2: ......\tFinished\r\n    Step 3: ......\tFinished\r\n"));
    EXPECT_THAT(log, EndsWith("    End time:\t\t<time>\r\n\r\nNotes:\r\n"));
    EXPECT_EQ(log.find("NIR"), std::string::npos);
    EXPECT_EQ(log.find("Colour Modification"), std::string::npos);
}

// 512 × 82: 41 MS rows, so the seven full strips would reach past the last cell row; the
// filters follow in order. 1030 × 130: 515 MS columns, so the fusion kernel's last piece of a
// row is short; a dark pan patch gives ratio 0 pixels. The intercept takes the other kernel.
TEST_F(EtmRunTest, StripsAndRowPiecesGiveTheWholeImageResult)
{
    Scene8 wide = MakeScene8(1030, 130);
    for (int y = 6; y < 12; ++y) {
        for (int x = 500; x < 530; ++x) wide.pan[static_cast<std::size_t>(y) * 1030 + x] = 0;
    }
    const Scene8 tall = MakeScene8(512, 82);
    for (const auto& [scene, filter] : {std::pair<const Scene8*, EtmFilter>{&tall, EtmFilter::SmoothSharpen},
                                        {&wide, EtmFilter::None}}) {
        for (bool intercept : {false, true}) {
            EtmJob job = WriteAndBrowse(dir.Path(), *scene);
            job.filterType = filter;
            job.filterFlags = {true, true, true};
            job.method = intercept ? FusionMethod::Optimisation2 : FusionMethod::Optimisation1;
            host.QueueAnswers({true});
            ASSERT_EQ(RunEtmPanSharpen(job, counters, host), RunOutcome::Finished)
                << ::testing::PrintToString(host.Messages());
            const auto expected = Reference(*scene, filter, intercept);
            for (int b = 0; b < 3; ++b) {
                const std::string bytes = ReadFileBytes(dir.File(std::string(kNames[b]) + "_Fused.img"));
                EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected[b])
                    << kNames[b] << " " << scene->width << (intercept ? " with intercept" : "");
            }
        }
    }
}

TEST_F(EtmRunTest, MultiBandFileWithTheWrongLengthIsRefused)
{
    const Scene8 scene = MakeScene8(512, 512);
    EtmJob job = WriteAndBrowse(dir.Path(), scene);
    std::vector<std::uint8_t> all;
    for (const auto& band : scene.ms) all.insert(all.end(), band.begin(), band.end());
    all.resize(all.size() + 10);
    WriteByteFile(dir.File("ms.img"), all);
    WriteEnviHeader(dir.File("ms.img"), 256, 256, 3, {}, 1);
    ASSERT_TRUE(BrowseEtmBlue(job, dir.File("ms.img"), host));
    EXPECT_EQ(job.selection[2], "Band 3");
    EXPECT_EQ(RunEtmPanSharpen(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("File size does not match with image size and bands."));
    EXPECT_THAT(host.Log(), EndsWith("File Size:\t\t196618 bytes\r\n\r\n\r\nUnsuccessful\r\n"));
}

TEST_F(EtmRunTest, ImplausibleCoefficientsEndUnfortunateAndResetTheInputs)
{
    Scene8 scene = MakeScene8(512, 512);
    std::fill(scene.ms[2].begin(), scene.ms[2].end(), 0);
    EtmJob job = WriteAndBrowse(dir.Path(), scene);
    EXPECT_EQ(RunEtmPanSharpen(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(),
                ElementsAre("Sorry, Cannot process the inputs selected. Please check input images."));
    EXPECT_THAT(host.Log(), EndsWith("    Step 1: ........\tUnfortunate\r\n\r\n\r\n"));
    EXPECT_TRUE(job.panPath.empty());  // "Optimisation 1" resets the inputs
    EXPECT_TRUE(job.selection[0].empty());
    EXPECT_FALSE(Exists(dir.File("blue_Fused.img")));
}

// The Landsat tool's Idrisi32 result headers name the band where the 16-bit tool names the pan.
TEST_F(EtmRunTest, IdrisiResultHeadersNameTheBand)
{
    const Scene8 scene = MakeScene8(512, 512);
    WriteByteFile(dir.File("pan.rst"), scene.pan);
    WriteIdrisiHeader(dir.File("pan.rst"), 512, 512, "byte");
    EtmJob job;
    ASSERT_TRUE(BrowseEtmPan(job, dir.File("pan.rst"), host));
    for (int b = 0; b < 3; ++b) {
        const std::string path = dir.File(std::string(kNames[b]) + ".rst");
        WriteByteFile(path, scene.ms[b]);
        WriteIdrisiHeader(path, 256, 256, "byte");
        ASSERT_TRUE(b == 0 ? BrowseEtmBlue(job, path, host) : BrowseEtmOtherBand(job, b, path, host));
    }
    ASSERT_EQ(RunEtmPanSharpen(job, counters, host), RunOutcome::Finished)
        << ::testing::PrintToString(host.Messages());
    EXPECT_THAT(ReadFileBytes(dir.File("green_Fused.rdc")),
                EndsWith("lineage     : This file was fused with the pan band Green (Band 2)"));
}

TEST(EtmFusionTest, PixelScalingClampsAndZeroesWhereTheSyntheticPanIsNotPositive)
{
    EtmCoefficients c;
    c.c = {0.25f, 0.5f, 0.25f, 0};
    // SP = 100, ratio 1.5; SP = 137.5, ratio 1.2; SP = 125, ratio 1.6 and 320 → 255.
    EXPECT_EQ(FuseEtmPixel(c, 100, 100, 100, 0, 150), (std::array<std::uint8_t, 3>{150, 150, 150}));
    EXPECT_EQ(FuseEtmPixel(c, 150, 100, 200, 0, 165), (std::array<std::uint8_t, 3>{180, 120, 240}));
    EXPECT_EQ(FuseEtmPixel(c, 200, 100, 100, 0, 200), (std::array<std::uint8_t, 3>{255, 160, 160}));
    EXPECT_EQ(FuseEtmPixel(c, 10, 10, 10, -20, 90), (std::array<std::uint8_t, 3>{0, 0, 0}));
}

TEST(EtmFusionTest, SmoothKernelAndBlockAverage)
{
    FakeHost host;
    std::vector<std::uint8_t> band(9, 90);
    band[4] = 100;
    FilterBand8(3, 3, band.data(), Kernel8::Smooth, host);
    EXPECT_EQ(band[4], 93);  // (8 × 90 + 5 × 100) × 0.07692308 = 93.85
    const std::uint8_t pan[8] = {1, 2, 250, 251, 3, 4, 252, 254};
    std::uint8_t low[2] = {};
    BlockAverage2(1, 2, pan, 4, low);
    EXPECT_EQ(low[0], 2);    // 10 × 0.25 = 2.5
    EXPECT_EQ(low[1], 251);  // 1007 × 0.25 = 251.75
}

}  // namespace
}  // namespace lumesta::testing
