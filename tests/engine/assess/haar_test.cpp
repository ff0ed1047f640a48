// The Haar wavelet tool: the 2 x 2 block, the nested quadrants of the raster, its picture, the
// whole-level decomposition streamed across strips, the result headers, and every stop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/time_stamp.h"
#include "core/truncate.h"
#include "assess/assess_browse.h"
#include "assess/haar_cascade.h"
#include "assess/haar_header.h"
#include "assess/haar_transform.h"
#include "raster/declared_no_data.h"
#include "tests/engine/assess/assess_bands.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::time_t kWhen = 1700000000;

std::vector<float> ReadFloats(const std::string& path)
{
    const std::string bytes = testing::ReadFileBytes(path);
    std::vector<float> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

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

TEST(HaarBlockTest, TheTwoByTwoBlockInBothForms)
{
    const HaarCoefficients half = HaarBlock(10, 20, 30, 40, 0.5f);
    EXPECT_EQ((std::array<float, 4>{half.approximation, half.detail1, half.detail2, half.detail3}),
              (std::array<float, 4>{50.0f, -10.0f, -20.0f, 0.0f}));
    const HaarCoefficients root = HaarBlock(10, 20, 30, 40, 0.70710677f);
    EXPECT_EQ(root.approximation, 100.0f * 0.70710677f);
    EXPECT_EQ(root.detail1, -20.0f * 0.70710677f);
}

// A block with no data: the missing samples take the valid ones' mean, so the approximation
// is the valid mean's and a flat valid part leaves no detail; none valid gives NaN throughout.
TEST(HaarBlockTest, NoDataTakesTheValidSamplesMean)
{
    const HaarCoefficients one = HaarPartialBlock({10, 20, 30, 999}, {true, true, true, false}, 0.5f);
    EXPECT_EQ(one.approximation, 40.0f);  // 4 × 20 × ½
    EXPECT_EQ(one.detail2, -10.0f);       // (10 + 20 − 30 − 20) × ½
    const HaarCoefficients flat = HaarPartialBlock({7, 0, 7, 7}, {true, false, true, true}, 0.5f);
    EXPECT_EQ((std::array<float, 3>{flat.detail1, flat.detail2, flat.detail3}),
              (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
    const HaarCoefficients none = HaarPartialBlock({1, 2, 3, 4}, {false, false, false, false}, 0.5f);
    EXPECT_TRUE(std::isnan(none.approximation) && std::isnan(none.detail3));
}

class HaarRunTest : public ::testing::Test {
protected:
    // A 16-bit ENVI band of the given samples, browsed as the dialog does.
    HaarJob BrowsedJob(int w, int h, const std::vector<std::int16_t>& samples, int levels,
                       HaarForm form = HaarForm::InverseSqrt2, const std::string& name = "band.img")
    {
        const std::string path = dir.File(name);
        testing::WriteInt16File(path, samples);
        testing::WriteEnviHeader(path, w, h, 1, {"Band A"});
        HaarJob job;
        if (!BrowseHaarInput(job, path, host)) throw std::runtime_error("browse failed");
        job.levels = levels;
        job.form = form;
        return job;
    }

    testing::TempDir dir;
    testing::FakeHost host;
    RunCounters counters;
};

TEST_F(HaarRunTest, TwoLevelsFillTheNestedQuadrants)
{
    // Every 2 × 2 block is 0 1 / 10 11: level 1 gives A 11, D1 −1, D2 −10, D3 0; level 2 works
    // on the constant approximation 11 and gives A 22 and zero details.
    std::vector<std::int16_t> samples(64 * 64);
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j)
            samples[i * 64 + j] = static_cast<std::int16_t>(10 * (i % 2) + j % 2);
    }
    HaarJob job = BrowsedJob(64, 64, samples, 2, HaarForm::Half);
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    EXPECT_THAT(host.Messages(), IsEmpty());
    const std::vector<float> raster = ReadFloats(job.outputImagePath);
    ASSERT_EQ(raster.size(), 64u * 64u);
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            float expected = 0.0f;
            if (i < 32 && j >= 32) expected = -1.0f;
            if (i >= 32 && j < 32) expected = -10.0f;
            if (i < 16 && j < 16) expected = 22.0f;
            ASSERT_EQ(raster[i * 64 + j], expected) << i << ", " << j;
        }
    }
    const std::string d = dir.Path() + "/";
    EXPECT_EQ(host.Log(),
              "Log File: \r\n\r\n******* Multi-Resolution Haar Wavelet Transforms (1) **********\r\n\r\n"
              "(a) Input Image Name:\r\nInput:\t\t" + d + "band.img\r\n"
              "Width:\t\t64 pixels\r\nHeight:\t\t64 pixels\r\nImage Size:\t4096 pixels\r\n"
              "File Size:\t8192 bytes\r\n\r\n(b) Specifications:\r\nDown-sampling level(s): \t2\r\n"
              "Selected Wavelet:\t\tHaar\r\nHaar wavelet coefficent form:\t1/2\r\n\r\n"
              "(c) Output Image Name:\r\nImage:\t\t" + d + "band_Haar.img\r\n"
              "24-bit BMP:\t" + d + "band_Haar.bmp\r\n\r\nFinished\r\n\r\n");
    // Every sub-band is constant: drawn as 0 whatever its value.
    EXPECT_EQ(testing::ReadFileBytes(d + "band_Haar.bmp").substr(54), std::string(64 * 64 * 3, '\0'));
    EXPECT_THAT(testing::ReadFileBytes(d + "band_Haar.hdr"),
                EndsWith("band names = {\r\nHaar Wavelet Transform (Band:band.img)}"));
    EXPECT_THAT(host.Viewed(), IsEmpty());
    EXPECT_EQ(host.BusyDepth(), 0);
}

TEST_F(HaarRunTest, ValidationMessagesInOrder)
{
    const HaarJob job = BrowsedJob(32, 32, std::vector<std::int16_t>(32 * 32), 2, HaarForm::Half);
    using Edit = void (*)(HaarJob&);
    const std::pair<Edit, const char*> cases[] = {
        {[](HaarJob& j) { j.bmpPath.clear(); }, "Please input file names"},
        {[](HaarJob& j) { j.levels = 0; }, "Please input down-sampling level."},
        {[](HaarJob& j) { j.levels = -3; }, "Please input down-sampling level."},
        {[](HaarJob& j) { j.input.width = j.input.height = 16384; },
         "Image size is too big; If you wish to have this limit relaxed, please contact developer."},
        {[](HaarJob& j) { j.input.width = 500; j.input.height = 512; },
         "The image size of 500*512 is not supported. \r\nBoth image width and height should be the "
         "power of 2, e.g., 512, 1024. "},
        {[](HaarJob&) {}, " The maximum level you can select for this image is 1."},
        {[](HaarJob& j) { j.input.width = 16384; j.input.height = 8192; j.levels = 10; },
         " The maximum level you can select for this image is 9."},
    };
    for (const auto& [edit, message] : cases) {
        HaarJob tried = job;
        edit(tried);
        host.ClearMessages();
        EXPECT_EQ(ComputeHaarTransform(tried, counters, host), RunOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre(message));
    }
    EXPECT_EQ(host.Log(), "");
}

TEST_F(HaarRunTest, UnwritableRasterStopsAndLeavesNoPicture)
{
    HaarJob job = BrowsedJob(64, 64, testing::PatternBand(64, 64, 2048), 2, HaarForm::Half);
    job.outputImagePath = dir.File("missing/folder/out.img");
    EXPECT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Error: Writing to float/binary file."));
    EXPECT_THAT(host.Log(), EndsWith("Unsucessful\r\n\r\n"));
    EXPECT_FALSE(testing::Exists(job.bmpPath));
}

TEST_F(HaarRunTest, IdrisiInputGetsItsRangeInTheHeader)
{
    const std::string path = dir.File("band.rst");
    std::vector<std::int16_t> samples(32 * 32);
    for (int i = 0; i < 32 * 32; ++i) samples[i] = static_cast<std::int16_t>(i % 32);
    testing::WriteInt16File(path, samples);
    testing::WriteIdrisiHeader(path, 32, 32);
    HaarJob job;
    ASSERT_TRUE(BrowseHaarInput(job, path, host));
    job.form = HaarForm::Half;
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    // A ranges over (8j + 2)/2, j < 16: 1 .. 61; D1 is −1, the others 0.
    const std::string header = testing::ReadFileBytes(dir.File("band_Haar.rdc"));
    EXPECT_NE(header.find("\r\nmin. value  : -1\r\nmax. value  : 61\r\ndisplay min : -1\r\n"
                          "display max : 61\r\nvalue units : unspecified\r\nlineage     : "),
              std::string::npos)
        << header;
}

// With --nodata an Idrisi32 header declares NaN as its flag value: in the template's flag lines,
// or before the lineage line when it has none.
TEST_F(HaarRunTest, IdrisiHeaderDeclaresTheNaNOfNoData)
{
    const std::string path = dir.File("band.rst");
    testing::WriteInt16File(path, std::vector<std::int16_t>(32 * 32, 5));
    for (const char* flags : {"", "flag value  : none\r\nflag def'n  : none\r\n"}) {
        testing::WriteIdrisiHeader(path, 32, 32);
        testing::WriteFileBytes(dir.File("band.rdc"), testing::ReadFileBytes(dir.File("band.rdc")) + flags);
        HaarJob job;
        ASSERT_TRUE(BrowseHaarInput(job, path, host));
        job.noData = 0;
        host.QueueAnswers({true});
        ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
        EXPECT_TRUE(std::isnan(DeclaredNoData(dir.File("band_Haar.rst")).value_or(0)));
        EXPECT_THAT(testing::ReadFileBytes(dir.File("band_Haar.rdc")),
                    ::testing::HasSubstr("flag def'n  : background\r\nlineage     : This file"));
    }
}

// 1024 × 4096 16-bit samples are read in two strips; every level still pairs its lines across
// the strip boundary, approximations carried past 32767 do not wrap, and the picture stretches
// each sub-band by its own range.
TEST_F(HaarRunTest, RasterAndPictureEqualAWholeLevelDecompositionAcrossStrips)
{
    const int w = 1024;
    const int h = 4096;
    const std::vector<std::int16_t> band = testing::PatternBand(w, h, 30000, 11);
    HaarJob job = BrowsedJob(w, h, band, 5);
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    const ReferenceHaar expected = Decompose(band, w, h, 5, 0.70710677f);
    const std::string raster = testing::ReadFileBytes(job.outputImagePath);
    ASSERT_EQ(raster.size(), expected.raster.size() * 4);
    EXPECT_EQ(std::memcmp(raster.data(), expected.raster.data(), raster.size()), 0);
    EXPECT_THAT(testing::ReadFileBytes(job.outputHeaderPath),
                HasSubstr("\r\nsamples = 1024\r\nlines   = 4096\r\nbands   = 1\r\n"));

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

TEST_F(HaarRunTest, HeaderGoesBesideTheChosenOutput)
{
    HaarJob job = BrowsedJob(64, 64, testing::PatternBand(64, 64, 500), 1);
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

TEST_F(HaarRunTest, FailedPictureOrHeaderStopsTheRunAndRemovesItsOutputs)
{
    HaarJob job = BrowsedJob(64, 64, testing::PatternBand(64, 64, 500), 2);
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

// Cancelled during the decomposition or while the picture is written, a run leaves none of its
// three outputs.
TEST_F(HaarRunTest, CancelLeavesNothingBehind)
{
    HaarJob job = BrowsedJob(64, 64, testing::PatternBand(64, 64, 500), 2);
    const long before = host.Pumps();
    ASSERT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Finished);
    const long runPumps = host.Pumps() - before;
    for (const long pump : {50L, runPumps - 20}) {  // the picture pumps once per line
        for (const std::string& path : {job.outputImagePath, job.bmpPath, job.outputHeaderPath})
            std::filesystem::remove(path);
        host.ClearLog();
        host.cancelAtPump = host.Pumps() + pump;
        EXPECT_EQ(ComputeHaarTransform(job, counters, host), RunOutcome::Cancelled);
        EXPECT_THAT(host.Log(), EndsWith("Cancelled\r\n\r\n"));
        for (const std::string& path : {job.outputImagePath, job.bmpPath, job.outputHeaderPath})
            EXPECT_FALSE(testing::Exists(path)) << path << " after pump " << pump;
    }
}

class HaarHeaderTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeHost host;
};

TEST_F(HaarHeaderTest, EnviHeaderFromStandardTemplate)
{
    testing::WriteEnviHeader(dir.File("in.img"), 64, 32, 3, {"B1", "B2", "B3"});
    WriteEnviHaarHeader(dir.File("in.hdr"), dir.File("out.hdr"), "B2", 64, 32, kWhen, host);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("out.hdr")),
              "ENVI\r\ndescription = {\r\n  Haar Wavelet Transform Result [" + TimeStamp(kWhen) +
                  "]}\r\nsamples = 64\r\nlines   = 32\r\nbands   = 1\r\nheader offset = 0\r\n"
                  "file type = ENVI Standard\r\ndata type = 4\r\ninterleave = bsq\r\n"
                  "byte order = 0\r\nband names = {\r\nHaar Wavelet Transform (Band:B2)}");
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(HaarHeaderTest, EnviTemplateWithoutBandNamesKeepsEmptyLines)
{
    testing::WriteFileBytes(dir.File("in.hdr"),
                            "ENVI\r\nsamples = 8\r\nlines = 8\r\nbands = 1\r\n\r\n"
                            "data type = 1\r\ninterleave = bsq\r\n");
    WriteEnviHaarHeader(dir.File("in.hdr"), dir.File("out.hdr"), "x", 32, 32, kWhen, host);
    const std::string header = testing::ReadFileBytes(dir.File("out.hdr"));
    EXPECT_EQ(header.substr(header.find("bands   = 1")),
              "bands   = 1\r\n\r\ndata type = 4\r\ninterleave = bsq\r\nband names = {\r\n"
              "Haar Wavelet Transform (Band:x)}");

    WriteEnviHaarHeader(dir.File("none.hdr"), dir.File("out2.hdr"), "x", 32, 32, kWhen, host);
    EXPECT_THAT(host.Messages(), ElementsAre("Error - when reading the input header files!"));
    EXPECT_EQ(testing::ReadFileBytes(dir.File("out2.hdr")).substr(0, 6), "ENVI\r\n");
}

TEST_F(HaarHeaderTest, IdrisiHeaderFromStandardTemplate)
{
    testing::WriteIdrisiHeader(dir.File("in.rst"), 64, 64);
    WriteIdrisiHaarHeader(dir.File("in.rdc"), "/data/in.rst", -12.5, 1234.5678, dir.File("out.rdc"),
                          host);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("out.rdc")),
              "file format : Idrisi Raster A.1\r\n"
              "file title  : Haar Wavelet Transform for /data/in.rst\r\n"
              "data type   : real\r\nfile type   : binary\r\ncolumns     : 64\r\n"
              "rows        : 64\r\nref. system : plane\r\nref. units  : m\r\nunit dist.  : 1\r\n"
              "min. X      : 0\r\nmax. X      : 64\r\nmin. Y      : 0\r\nmax. Y      : 64\r\n"
              "pos'n error : unspecified\r\nresolution  : 1.0\r\nmin. value  : -12.5\r\n"
              "max. value  : 1234.57\r\ndisplay min : -12\r\ndisplay max : 1234\r\n"
              "value units : unspecified\r\nlineage     : \r\ncomment     : \r\nlineage     : "
              "This file was created by a Haar wavelet transform; the input image is "
              "/data/in.rst");
    EXPECT_THAT(host.Messages(), IsEmpty());
}

}  // namespace
}  // namespace lumesta
