#include "composite/combine_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "composite/combine_browse.h"
#include "raster/geotiff/geotiff_extract.h"
#include "raster/geotiff/geotiff_georeference.h"
#include "raster/world_file.h"
#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

const char* const kNames[3] = {"blue", "green", "red"};

// A band of deterministic noise over 0..2047 (0..255 for 8-bit), with the given extra values
// (outliers) placed at the start.
std::vector<int> NoiseBand(std::size_t count, unsigned seed, int top, std::vector<int> start = {})
{
    std::vector<int> band = std::move(start);
    unsigned state = seed * 2654435761u + 1;
    while (band.size() < count) {
        state = state * 1103515245u + 12345u;
        band.push_back(static_cast<int>((state >> 8) % static_cast<unsigned>(top + 1)));
    }
    return band;
}

void WriteBand(const std::string& path, const std::vector<int>& band, bool sixteen)
{
    if (sixteen) return WriteInt16File(path, std::vector<std::int16_t>(band.begin(), band.end()));
    WriteByteFile(path, std::vector<std::uint8_t>(band.begin(), band.end()));
}

// The picture computed pixel by pixel, row by row, without strips or look-up tables.
std::string ReferencePicture(const std::array<std::vector<int>, 3>& bands, int width, int height,
                             const StretchParams& stretch, int bins)
{
    std::array<int, 3> low{}, high{};
    for (int b = 0; b < 3; ++b) {
        std::vector<long long> counts(bins, 0);
        for (int v : bands[b])
            if (v > 0 && v < bins) ++counts[v];
        long long total = 0, sum = 0;
        for (long long c : counts) total += c;
        for (int i = 1; i < bins; ++i) {
            sum += counts[i];
            const double percent = sum * 100.0 / total;
            if (low[b] == 0 && percent >= stretch.leftCutoff[b]) low[b] = i;
            if (high[b] == 0 && percent >= 100 - stretch.rightCutoff[b]) high[b] = i;
        }
    }
    const int stride = (width * 3 + 3) / 4 * 4;
    std::string rows(static_cast<std::size_t>(stride) * height, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int b = 0; b < 3; ++b) {
                const int v = bands[b][static_cast<std::size_t>(y) * width + x];
                int byte = v <= low[b]    ? 0
                           : v >= high[b] ? 255
                                          : int((v - low[b]) * 255.0 / (high[b] - low[b]));
                const int s = stretch.nonlinear[b];
                if (s > 0 && byte > 0 && byte < 255)
                    byte = int(255 * std::log(1 + s * byte / 255.0) / std::log(1.0 + s));
                rows[static_cast<std::size_t>(height - 1 - y) * stride + 3 * x + b] =
                    static_cast<char>(byte);
            }
        }
    }
    return rows;
}

class CombineRunTest : public ::testing::Test {
protected:
    // Three single-band ENVI files blue/green/red.img of noise, returned for reference.
    std::array<std::vector<int>, 3> WriteBands(int width, int height, bool sixteen = true,
                                               std::vector<int> outliers = {})
    {
        std::array<std::vector<int>, 3> bands;
        for (int b = 0; b < 3; ++b) {
            bands[b] = NoiseBand(static_cast<std::size_t>(width) * height, b + 1,
                                 sixteen ? 2047 : 255, b == 0 ? outliers : std::vector<int>{});
            const std::string path = dir.File(std::string(kNames[b]) + ".img");
            WriteBand(path, bands[b], sixteen);
            WriteEnviHeader(path, width, height, 1, {}, sixteen ? 2 : 1);
        }
        return bands;
    }
    BandCombinationJob Browsed(CombineDepth depth = CombineDepth::Sixteen,
                               const std::string& ext = "img")
    {
        BandCombinationJob job(depth);
        EXPECT_TRUE(BrowseCombineBlue(job, dir.File("blue." + ext), host));
        EXPECT_TRUE(BrowseCombineBand(job, kCompositeGreen, dir.File("green." + ext), host));
        EXPECT_TRUE(BrowseCombineBand(job, kCompositeRed, dir.File("red." + ext), host));
        job.displayBmp = false;
        return job;
    }
    std::string Picture(const std::string& path) const { return ReadFileBytes(path).substr(54); }
    RunOutcome Run(BandCombinationJob& job) { return RunBandCombination(job, counters, host); }
    // The run must stop with message as its only message.
    void ExpectStop(BandCombinationJob& job, const std::string& message)
    {
        host.ClearMessages();
        EXPECT_EQ(Run(job), RunOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre(message));
    }

    TempDir dir;
    FakeHost host;
    RunCounters counters;
};

TEST_F(CombineRunTest, ValidationStopsAtTheFirstFailureBeforeTheReport)
{
    WriteBands(130, 20);
    struct Case {
        std::function<void(BandCombinationJob&)> edit;
        const char* message;
    };
    const Case cases[] = {
        {[](BandCombinationJob& j) { j.bandPath[kCompositeRed].clear(); }, "Please input images."},
        {[](BandCombinationJob& j) {
             j.bmpPath.clear();
             j.width = 0;
         },
         "Please input images."},
        {[](BandCombinationJob& j) { j.height = 0; }, "Please input width and height."},
        {[](BandCombinationJob& j) { j.width = -130; }, "Please input width and height."},
        {[](BandCombinationJob& j) { j.bandExt[kCompositeGreen] = "rst"; },
         "Pan and Ms image types are not the same, as identified by file extensions"},
    };
    for (const Case& c : cases) {
        BandCombinationJob job = Browsed();
        c.edit(job);
        ExpectStop(job, c.message);
    }
    EXPECT_EQ(host.Log(), "");
    EXPECT_EQ(counters.GetTotalRunCount(), 0);
}

TEST_F(CombineRunTest, ReportBlockOfTwoRunsByteForByte)
{
    WriteBands(130, 20);
    BandCombinationJob job = Browsed();
    job.stretch.leftCutoff = {1, 3, 5};
    job.stretch.rightCutoff = {2, 4, 20};
    job.stretch.nonlinear = {0, 7, 20};
    ASSERT_EQ(Run(job), RunOutcome::Finished);
    const std::string d = dir.Path() + "/";
    const std::string block =
        "+++++++++++++++ Band Combination (1) ++++++++++++++++++++\r\n\r\n"
        "(a) Input RGB Bands:\r\nBlue:\t" +
        d + "blue.img\r\nGreen:\t" + d + "green.img\r\nRed:\t" + d +
        "red.img\r\nWidth:\t\t\t130 pixels\r\nHeight:\t\t\t20 pixels\r\nImage Size:\t\t2600 "
        "pixels\r\n"
        "File Size:\t\t5200 bytes\r\n\r\n(b) Output Colour Image:\r\nBMP:\t\t" +
        d +
        "blue_Composite.bmp\r\nDisplay it?\tNo\r\nStretch:\r\n"
        "\tHistogram stretching: cutoffs at both sides\r\n"
        "\t- Blue: \tleft-side: 1\tright-side: 2\r\n\t- Green:\tleft-side: 3\tright-side: 4\r\n"
        "\t- Red:  \tleft-side: 5\tright-side: 20\r\n\tNonlinear stretching\r\n"
        "\t- Blue: \t0\r\n\t- Green: \t7\r\n\t- Red: \t\t20\r\n"
        "\r\n(c) Processing:\r\n    \tStep 1: ......\tFinished (24-bit BMP "
        "output)\r\n\r\nNotes:\r\n";
    EXPECT_EQ(host.Log(), "Log File: \r\n\r\n" + block);
    EXPECT_THAT(host.ProgressCaptions(), ElementsAre("Writing 24-bit BMP ..."));
    EXPECT_TRUE(host.Viewed().empty());

    // The second run asks before replacing the picture, continues the numbering and opens it.
    host.ClearLog();
    job.displayBmp = true;
    ASSERT_EQ(Run(job), RunOutcome::Finished);
    std::string second = block;
    second.replace(second.find("(1)"), 3, "(2)");
    second.replace(second.find("No\r\n"), 4, "Yes\r\n");
    EXPECT_EQ(host.Log(), "\r\n" + second);
    EXPECT_THAT(host.Questions(),
                ElementsAre(d + "blue_Composite.bmp already exists.\nDo you want to overwrite?"));
    EXPECT_THAT(host.Viewed(), ElementsAre(d + "blue_Composite.bmp"));
}

TEST_F(CombineRunTest, PictureMatchesPixelByPixelComputationForEveryStripLayout)
{
    StretchParams stretch;
    stretch.leftCutoff = {1, 2, 7};
    stretch.rightCutoff = {3, 2, 1};
    stretch.nonlinear = {0, 20, 3};  // per band: Blue keeps its linear bytes
    for (int height : {1, 9, 13, 57, 131}) {
        // 16-bit outliers: below 0 and above 2047 are not counted and map to 0 and 255.
        const auto bands = WriteBands(130, height, true, {-7, 2048, 32767, -32768, 0, 2047});
        BandCombinationJob job = Browsed();
        job.stretch = stretch;
        host.defaultAnswer = true;
        ASSERT_EQ(Run(job), RunOutcome::Finished) << height;
        EXPECT_EQ(Picture(job.bmpPath), ReferencePicture(bands, 130, height, stretch, 2048)) << height;
    }
    const auto bytes = WriteBands(200, 129, false);
    BandCombinationJob job8 = Browsed(CombineDepth::Eight);
    job8.stretch = stretch;
    ASSERT_EQ(Run(job8), RunOutcome::Finished);
    EXPECT_EQ(Picture(job8.bmpPath), ReferencePicture(bytes, 200, 129, stretch, 256));
    EXPECT_THAT(host.Log(),
                HasSubstr("+++++++++++++++ Band Combination (6) +++++++++++++++++++++\r\n"));
}

TEST_F(CombineRunTest, SizeChecksInTheirOrder)
{
    WriteBands(130, 20);
    BandCombinationJob job = Browsed();
    std::filesystem::remove(dir.File("green.hdr"));
    ExpectStop(job, "Green Band: Check the format of its header file.");
    EXPECT_TRUE(job.bandLists[kCompositeGreen].empty());
    EXPECT_TRUE(job.selection[kCompositeGreen].empty());

    WriteEnviHeader(dir.File("green.img"), 131, 20, 1);
    job = Browsed();
    host.ClearLog();
    ExpectStop(job, "Check width/height of all Ms bands.");
    EXPECT_THAT(host.Log(), EndsWith("red.img\r\n\r\n"));

    // Generic matrices: the typed size against the lengths, then the size limits.
    for (const char* name : kNames) {
        std::filesystem::rename(dir.File(std::string(name) + ".img"),
                                dir.File(std::string(name) + ".raw"));
    }
    const std::pair<std::pair<int, int>, const char*> sizes[] = {
        {{130, 19}, "File size does not match with image size (16 bit data)."},
        {{50, 52}, "Image size is too small; the minimum size is 128*128."}};
    for (const auto& [size, message] : sizes) {
        job = Browsed(CombineDepth::Sixteen, "raw");
        job.width = size.first;
        job.height = size.second;
        ExpectStop(job, message);
    }
    std::filesystem::resize_file(dir.File("red.raw"), 5000);
    job = Browsed(CombineDepth::Sixteen, "raw");
    job.width = 130;
    job.height = 20;
    ExpectStop(job, "The file size of Ms bands is not the same.");
}

TEST_F(CombineRunTest, MultiBandInputsReadTheSelectedBands)
{
    const auto bands = WriteBands(128, 16);
    std::string all;
    for (int b : {2, 0, 1, 2}) all += ReadFileBytes(dir.File(std::string(kNames[b]) + ".img"));
    WriteFileBytes(dir.File("ms.img"), all);
    WriteEnviHeader(dir.File("ms.img"), 128, 16, 4, {"Blue", "Green", "Red", "NIR"});
    BandCombinationJob job(CombineDepth::Sixteen);
    ASSERT_TRUE(BrowseCombineBlue(job, dir.File("ms.img"), host));
    job.displayBmp = false;
    SelectCombineBand(job, kCompositeBlue, 1);
    SelectCombineBand(job, kCompositeGreen, 2);
    SelectCombineBand(job, kCompositeRed, 3);
    ASSERT_EQ(Run(job), RunOutcome::Finished);
    EXPECT_EQ(Picture(job.bmpPath), ReferencePicture(bands, 128, 16, StretchParams{}, 2048));
    EXPECT_THAT(host.Log(), HasSubstr("Blue:\t" + dir.File("ms.img") + " (Green)\r\nGreen:\t" +
                                      dir.File("ms.img") + " (Red)\r\nRed:\t" + dir.File("ms.img") +
                                      " (NIR)\r\nWidth:\t\t\t128 pixels\r\n"));

    // A truncated file stops with the length message and leaves no picture behind.
    std::filesystem::resize_file(dir.File("ms.img"), all.size() - 2);
    host.defaultAnswer = true;
    ExpectStop(job, "Error! reading an image  file - length problem.");
    EXPECT_THAT(host.Log(), EndsWith("\r\n\r\nUnsuccessful\r\n"));
    EXPECT_FALSE(Exists(job.bmpPath));
}

TEST_F(CombineRunTest, EightBitMultiBandFileMustHoldEveryBand)
{
    WriteBands(128, 16, false);
    std::string all;
    for (const char* name : kNames) all += ReadFileBytes(dir.File(std::string(name) + ".img"));
    WriteFileBytes(dir.File("ms.img"), all + "x");
    WriteEnviHeader(dir.File("ms.img"), 128, 16, 3, {"Blue", "Green", "Red"}, 1);
    BandCombinationJob job(CombineDepth::Eight);
    ASSERT_TRUE(BrowseCombineBlue(job, dir.File("ms.img"), host));
    ExpectStop(job, "File size does not match with image size and bands.");
    EXPECT_THAT(host.Log(), EndsWith("File Size:\t\t6145 bytes\r\n\r\n"));
}

TEST_F(CombineRunTest, DeclinedOrUnsafeOutputsStopWithoutTouchingFiles)
{
    WriteBands(130, 20);
    BandCombinationJob job = Browsed();
    WriteFileBytes(job.bmpPath, "old");
    host.QueueAnswers({false});
    EXPECT_EQ(Run(job), RunOutcome::Stopped);
    EXPECT_THAT(host.Log(), EndsWith("\t- Red: \t\t0\r\n\r\nUnsucessful\r\n\r\n"));
    EXPECT_EQ(ReadFileBytes(job.bmpPath), "old");

    // Yes would delete an input: a BMP named like one is refused before the question.
    job.bmpPath = dir.Path() + "/./green.img";
    ExpectStop(job, job.bmpPath + " is an input of this run.\nChange the name of the 24-bit BMP.");
    EXPECT_EQ(host.Questions().size(), 1u);
    EXPECT_TRUE(Exists(dir.File("green.img")));

    job.bmpPath = dir.File("missing/picture.bmp");
    ExpectStop(job, "Unable to open file for writing");
    EXPECT_THAT(host.Log(), EndsWith("\tStep 1: ......\r\n\r\nUnsuccessful\r\n"));
}

TEST_F(CombineRunTest, CancelRemovesThePartPictureAndOpensNoViewer)
{
    WriteBands(130, 64);
    BandCombinationJob job = Browsed();
    job.displayBmp = true;
    host.cancelAtPump = 20;  // 3 pumps for the cutoffs, then one per line: cancelled at line 16
    EXPECT_EQ(Run(job), RunOutcome::Cancelled);
    EXPECT_THAT(host.Log(), EndsWith("    \tStep 1: ......\r\nCancelled\r\n\r\n"));
    EXPECT_TRUE(host.Viewed().empty());
    EXPECT_FALSE(Exists(job.bmpPath));
}

// The real Landsat scene in GeoTIFF, when the shared test data are present.
class CombineGeoTiffTest : public CombineRunTest {
protected:
    void SetUp() override
    {
        const std::string scene = SharedScenesFolder() + "combine8/geotiff";
        if (!Exists(scene + "/blue.tif")) GTEST_SKIP() << "no shared GeoTIFF scene";
        for (const char* name : kNames) {  // writable copies
            const std::string file = std::string(name) + ".tif";
            WriteFileBytes(dir.File(file), ReadFileBytes(scene + "/" + file));
        }
    }
};

TEST_F(CombineGeoTiffTest, CompositeHasThreeRedGreenBluePlanesAndNoTemporariesStay)
{
    BandCombinationJob job = Browsed(CombineDepth::Eight, "tif");
    job.geoTiffOutput = true;
    ASSERT_EQ(Run(job), RunOutcome::Finished);
    EXPECT_THAT(host.Log(), HasSubstr("(b) Output Colour Image:\r\nGeoTIFF:\t" +
                                      dir.File("blue_Composite.tif") + "\r\nBMP:\t\t"));
    EXPECT_THAT(host.Log(),
                HasSubstr("Step 0: ......\tFinished (GeoTIFF image input)\r\n    \tStep 1: ......"
                          "\tFinished (24-bit BMP output)\r\n    \tStep 2: ......"
                          "\tFinished (GeoTIFF image output)\r\n\r\nNotes:\r\n"));
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    // The Landsat scene is UTM zone 18N: the picture gets its world file and coordinate system.
    EXPECT_EQ(ReadFileBytes(dir.File("blue_Composite.wld")),
              WorldFileText(ReadGeoTiffGeoreference(dir.File("blue.tif"))));
    EXPECT_THAT(ReadFileBytes(dir.File("blue_Composite.bmp.aux.xml")), HasSubstr("UTM zone 18N"));
    // The planes' layout is the writer's (its own tests); the composite's are Red, Green, Blue.
    ASSERT_EQ(ExtractGeoTiffSample(dir.File("blue_Composite.tif"), dir.File("first.raw"), 0, host), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("first.raw")),
              ReadFileBytes(SharedScenesFolder() + "combine8/envi/red.img"));
}

TEST_F(CombineGeoTiffTest, CancelAndFailedExtractionRemoveTemporaries)
{
    BandCombinationJob job = Browsed(CombineDepth::Eight, "tif");
    job.geoTiffOutput = true;
    host.cancelAtPump = 200;  // while the BMP is written
    EXPECT_EQ(Run(job), RunOutcome::Cancelled);
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    EXPECT_FALSE(Exists(job.geoTiffPath));

    host.cancelAtPump = 1000;  // while the GeoTIFF is written: the writer's failure
    host.ClearLog();
    EXPECT_EQ(Run(job), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Error with GeoTIFF writing.\n"));
    EXPECT_THAT(host.Log(), EndsWith("    \tStep 2: ......\r\n\r\nUnsuccessful\r\n"));
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    EXPECT_FALSE(Exists(job.geoTiffPath));
    EXPECT_FALSE(Exists(job.bmpPath));  // a failed run leaves none of its outputs

    WriteFileBytes(dir.File("red.tif"),
                   std::string(ReadFileBytes(dir.File("blue.tif")).size(), 'x'));
    host.cancelAtPump = 0;
    host.ClearMessages();
    host.ClearLog();
    EXPECT_EQ(Run(job), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ::testing::Contains("Error: Extracting Ms band ..."));
    EXPECT_THAT(host.Log(), EndsWith("    \tStep 0: ......"));
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
}

}  // namespace
}  // namespace lumesta::testing
