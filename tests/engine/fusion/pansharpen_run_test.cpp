#include "fusion/fusion_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "fusion/filters.h"
#include "fusion/optimisation/pansharpen_arithmetic.h"
#include "fusion/optimisation/matrix.h"
#include "fusion/fusion_browse.h"
#include "fusion/optimisation/resampling.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/report_text.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;


class PanSharpenRunTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir.File(name); }
    RunOutcome Run(PanSharpenJob& job) { return RunPanSharpen(job, counters, host); }

    TempDir dir;
    FakeHost host;
    RunCounters counters;
};

TEST_F(PanSharpenRunTest, ValidationStopsAtTheFirstFailureBeforeTheReport)
{
    WriteEnviScene(dir.Path(), MakeScene(512, 512));
    struct Case {
        void (*edit)(PanSharpenJob&);
        const char* message;
    };
    const Case cases[] = {
        {[](PanSharpenJob& j) { j.selection[kNir].clear(); }, "Please input images."},
        {[](PanSharpenJob& j) { j.bmpName.clear(); }, "Please input images."},
        {[](PanSharpenJob& j) { j.height = 0; }, "Please input width and height."},
        {[](PanSharpenJob& j) { j.width = -600; }, "Please input width and height."},
        {[](PanSharpenJob& j) { j.width = j.height = 400; },
         "Image size is too small; the minimum size is 512*512."},
        {[](PanSharpenJob& j) { j.width = j.height = 40001; },
         "Image size is too big; If you wish to have this limit relaxed, please contact developer."},
        {[](PanSharpenJob& j) { j.selection[kRed] = j.selection[kGreen]; },
         "Input images should not have the same name."},
        {[](PanSharpenJob& j) { j.msExt[kNir] = "rst"; },
         "Pan and Ms image types are not the same, as identified by file extensions"},
        {[](PanSharpenJob& j) { j.rasterKind[0] = RasterKind::GeoTiffOrMatrix; },
         "Ms image types are not the same, as identified by file extensions"},
    };
    for (const Case& c : cases) {
        PanSharpenJob job = BrowsedJob(dir.Path(), "img");
        c.edit(job);
        host.ClearMessages();
        EXPECT_EQ(Run(job), RunOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre(c.message));
    }
    EXPECT_EQ(host.Log(), "");
    EXPECT_EQ(counters.GetTotalRunCount(), 0);
}

TEST_F(PanSharpenRunTest, WritesTheWholeReportBlock)
{
    WriteEnviScene(dir.Path(), MakeScene(512, 512));
    PanSharpenJob job = BrowsedJob(dir.Path(), "img");
    ASSERT_EQ(Run(job), RunOutcome::Finished);
    const std::string d = dir.Path() + "/";
    const std::string expected =
        "Log File: \r\n\r\n_____________ Pan-Sharpening Run (1) _____________________\r\n\r\n"
        "(a) Input High Resolution Panchromatic Band:\r\nPAN:\t" + d + "pan.img\r\n"
        "Width:\t\t\t512 pixels\r\nHeight:\t\t\t512 pixels\r\nImage Size:\t\t262144 pixels\r\n"
        "File Size:\t\t524288 bytes\r\n\r\n"
        "(b) Input Low Resolution Multispectral Bands:\r\nBlue:\t" + d + "blue.img\r\nGreen:\t" + d +
        "green.img\r\nRed:\t" + d + "red.img\r\nNIR:\t" + d + "nir.img\r\n"
        "Width:\t\t\t128 pixels\r\nHeight:\t\t\t128 pixels\r\nImage Size:\t\t16384 pixels\r\n"
        "File Size:\t\t32768 bytes\r\n\r\n"
        "(c) Key Parameters:\r\nPan-Sharpening Method:\tOptimisation 1\r\n"
        "Resampling Method:\tImproved Bilinear\r\nSpatial Filtering:\tSharpen\r\n"
        "\t- Blue:\t\tNo\r\n\t- Green:\tYes\r\n\t- Red:\t\tYes\r\n\t- NIR:\t\tNo\r\n"
        "Colour Modification:\r\n\t- Blue:\t\t0\r\n\t- Green:\t0\r\n\t- Red:\t\t0\r\n"
        "\t- NIR:\t\tN/A\r\n\r\n"
        "(d) Output Pan-Sharpened Colour Images:\r\nBlue:\t" + d + "blue_Fused.img\r\nGreen:\t" + d +
        "green_Fused.img\r\nRed:\t" + d + "red_Fused.img\r\nNIR:\t" + d + "nir_Fused.img\r\n"
        "BMP:\t" + d + "pan_Fused.bmp\r\nDisplay it?\t\tYes\r\nStretch:\r\n"
        "\tColours match with those of inputs more closely?\tNo\r\n"
        "\tHistogram stretching: cutoffs at both ends (%)\r\n"
        "\t- Blue: \tleft-side: 2\tright-side: 2\r\n\t- Green:\tleft-side: 2\tright-side: 2\r\n"
        "\t- Red:  \tleft-side: 2\tright-side: 2\r\n\tNonlinear stretching\r\n"
        "\t- Blue: \t0\r\n\t- Green: \t0\r\n\t- Red: \t\t0\r\n"
        "\r\n(e) Analytical Steps \r\n    Step 1: .........\tFinished\r\n"
        "    Step 2: ......\tFinished\r\n    Step 3: ......\tFinished\r\n"
        "    Step 4: ......\tFinished\r\n    Step 5: ......\tFinished (24-bit BMP output)\r\n"
        "\r\n(f) Seconds spent:\t<n> s\r\n    Start time:\t\t<time>\r\n"
        "    Post-processing:\t<time>\r\n    End time:\t\t<time>\r\n\r\nNotes:\r\n";
    EXPECT_EQ(MaskTimes(host.Log()), expected);
    EXPECT_THAT(host.Viewed(), ElementsAre(d + "pan_Fused.bmp"));
    EXPECT_EQ(ReadFileBytes(d + "pan_Fused.bmp").size(), 54u + 512 * 512 * 3);
    EXPECT_EQ(host.BusyDepth(), 0);

    // A second run numbers its banner from the shared counter after a plain line break.
    host.ClearLog();
    host.QueueAnswers({true});
    ASSERT_EQ(Run(job), RunOutcome::Finished);
    EXPECT_EQ(host.Log().rfind("\r\n_____________ Pan-Sharpening Run (2) ____", 0), 0u);
    EXPECT_THAT(host.Questions(), ElementsAre(HasSubstr(d + "blue_Fused.img\nor other similarly")));
}

// Reference fusion straight from the whole-image definition, without strips.
std::array<std::vector<std::int16_t>, 4> WholeImageFusion(const Scene& s, bool intercept,
                                                          const ColourAmounts& amounts)
{
    const int msW = s.width / 4, msH = s.height / 4, m = static_cast<int>(msH * 0.125);
    std::vector<std::int16_t> low(static_cast<std::size_t>(msW) * msH);
    BlockAverage4(msH, msW, s.pan.data(), s.width, low.data());
    const int n = intercept ? 5 : 4;
    NormalEquations equations(n);
    for (int k = 0; k < m; ++k) {
        for (int j = 0; j < msW; ++j) {
            const std::size_t i = static_cast<std::size_t>(8 * k) * msW + j;
            const std::int32_t x[5] = {1, s.ms[0][i], s.ms[1][i], s.ms[2][i], s.ms[3][i]};
            equations.Add(intercept ? x : x + 1, low[i]);
        }
    }
    FakeHost host;
    auto inverted = MakeMatrix<float>(n, n), scratch = MakeMatrix<float>(n, n);
    auto solution = MakeMatrix<float>(n, 1);
    inverse(n, n, equations.NormalMatrix(), inverted, scratch, host);
    MultiplyFloatMatrices(n, n, inverted, n, 1, equations.RightHandSide(), solution, host);
    Coefficients c;
    c.method = intercept ? FusionMethod::Optimisation2 : FusionMethod::Optimisation1;
    for (int i = 0; i < n; ++i) c.c[i] = solution[i][0];
    std::array<std::vector<std::int16_t>, 4> out;
    for (auto& band : out) band.assign(s.pan.size(), 0);
    for (int d = 0; d + 1 < msH; ++d) {
        for (int e = 0; e + 1 < msW; ++e) {
            for (int p = 0; p < 4; ++p) {
                for (int q = 0; q < 4; ++q) {
                    const auto w = BilinearWeights4(p, q);
                    double v[5];
                    for (int b = 0; b < 5; ++b) {
                        auto at = [&](int y, int x) {
                            const std::size_t i = static_cast<std::size_t>(y) * msW + x;
                            return b < 4 ? double(s.ms[b][i])
                                         : double(Residual(c, low[i], s.ms[0][i], s.ms[1][i],
                                                           s.ms[2][i], s.ms[3][i]));
                        };
                        v[b] = Interpolate(w, at(d, e), at(d, e + 1), at(d + 1, e), at(d + 1, e + 1));
                    }
                    const std::size_t pix = static_cast<std::size_t>(4 * d + 2 + p) * s.width + 4 * e + 2 + q;
                    const auto f = FusePixel(c, {v[0], v[1], v[2], v[3], v[4]}, s.pan[pix], amounts);
                    for (int b = 0; b < 4; ++b) out[b][pix] = f[b];
                }
            }
        }
    }
    for (auto& band : out) {
        ReplicateBorders(s.height, s.width, band.data());
        ClipBand(static_cast<std::int64_t>(band.size()), band.data());
    }
    return out;
}

// 512 × 164: 41 MS rows, so seven strips of 6 cells would reach past the last cell row.
// 1036 × 164: 259 MS columns, so the fusion kernel's last piece of a row is short. Both
// methods, and colour adjustment (which takes the per-pixel path); a dark patch gives pan 0
// where the synthetic pan is positive (ratio 0 pixels, whose Blue is 0).
TEST_F(PanSharpenRunTest, StripsAndRowPiecesGiveTheWholeImageResult)
{
    struct Case {
        int width, top, bottom, left, right;  // the dark patch
        FusionMethod method;
        ColourAmounts amounts;
    };
    const FusionMethod one = FusionMethod::Optimisation1, two = FusionMethod::Optimisation2;
    const Case cases[] = {{512, 40, 44, 100, 140, one, {0, 0, 0}},
                          {512, 40, 44, 100, 140, two, {0, 0, 0}},
                          {512, 40, 44, 100, 140, one, {10, 20, 30}},
                          {1036, 8, 16, 1000, 1030, one, {0, 0, 0}},
                          {1036, 8, 16, 1000, 1030, two, {0, 0, 0}}};
    for (const Case& c : cases) {
        Scene scene = MakeScene(c.width, 164);
        for (int y = c.top; y < c.bottom; ++y) {
            for (int x = c.left; x < c.right; ++x)
                scene.pan[static_cast<std::size_t>(y) * c.width + x] = 0;
        }
        WriteEnviScene(dir.Path(), scene);
        PanSharpenJob job = BrowsedJob(dir.Path(), "img");
        job.filterType = FilterType16::None;
        job.method = c.method;
        job.colourAmounts = c.amounts;
        host.QueueAnswers({true});
        ASSERT_EQ(Run(job), RunOutcome::Finished) << ::testing::PrintToString(host.Messages());
        const auto expected = WholeImageFusion(scene, c.method == two, c.amounts);
        const char* names[4] = {"blue", "green", "red", "nir"};
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(ReadInt16File(Path(std::string(names[b]) + "_Fused.img")), expected[b])
                << names[b] << " " << c.width << " " << MethodLabel(c.method) << " " << c.amounts[0];
        }
    }
}

// The scene inside a frame of pan 0 and MS 7: left, top, right and bottom MS pixels of it.
Scene Framed(const Scene& scene, int left, int top, int right, int bottom)
{
    Scene out{scene.width + 4 * (left + right), scene.height + 4 * (top + bottom), {}, {}};
    const auto frame = [&](const std::vector<std::int16_t>& from, int scale, int fill,
                           std::vector<std::int16_t>& to) {
        const int width = scene.width / scale, outWidth = out.width / scale;
        to.assign(static_cast<std::size_t>(outWidth) * (out.height / scale), std::int16_t(fill));
        for (std::size_t i = 0; i < from.size(); ++i)
            to[(i / width + top * 4 / scale) * outWidth + i % width + left * 4 / scale] = from[i];
    };
    frame(scene.pan, 1, 0, out.pan);
    for (int b = 0; b < 4; ++b) frame(scene.ms[b], 4, 7, out.ms[b]);
    return out;
}

// An uneven frame of no data around a scene: the inside fuses exactly as the scene alone, a
// fused 7 moved to 8, and so does the picture (its limits from the MS with colour matching).
TEST_F(PanSharpenRunTest, NoDataFrameFusesItsInsideAsTheSceneAlone)
{
    const Scene scene = MakeScene(512, 512);
    const int left = 3, top = 5;
    const Scene framed = Framed(scene, left, top, 2, 1);
    TempDir alone;
    WriteEnviScene(alone.Path(), scene);
    WriteEnviScene(dir.Path(), framed);
    for (FusionMethod method : {FusionMethod::Optimisation1, FusionMethod::Optimisation2}) {
        PanSharpenJob job = BrowsedJob(alone.Path(), "img"), framedJob = BrowsedJob(dir.Path(), "img");
        for (PanSharpenJob* one : {&job, &framedJob}) {
            one->filterType = FilterType16::None;
            one->method = method;
            one->colourMatch = method == FusionMethod::Optimisation2;
        }
        framedJob.delivery.panNoData = {true, false, 0};
        framedJob.delivery.msNoData = {true, false, 7};
        host.QueueAnswers({true, true});
        ASSERT_EQ(Run(job), RunOutcome::Finished);
        ASSERT_EQ(Run(framedJob), RunOutcome::Finished) << ::testing::PrintToString(host.Messages());
        const std::string names[4] = {"blue", "green", "red", "nir"}, bmp = "pan_Fused.bmp";
        std::vector<std::int16_t> in[4], out[4];
        for (int b = 0; b < 4; ++b) in[b] = ReadInt16File(alone.File(names[b] + "_Fused.img"));
        for (int b = 0; b < 4; ++b) out[b] = ReadInt16File(dir.File(names[b] + "_Fused.img"));
        const std::string bmpIn = ReadFileBytes(alone.File(bmp)), bmpOut = ReadFileBytes(dir.File(bmp));
        for (int y = 0; y < framed.height; ++y) {
            for (int x = 0; x < framed.width; ++x) {
                const int cx = x - 4 * left, cy = y - 4 * top;
                const bool inside = cx >= 0 && cy >= 0 && cx < scene.width && cy < scene.height;
                const std::size_t i = static_cast<std::size_t>(cy) * scene.width + cx;
                for (int b = 0; b < 4; ++b) {
                    const int expected = !inside ? 7 : in[b][i] == 7 ? 8 : in[b][i];
                    ASSERT_EQ(out[b][static_cast<std::size_t>(y) * framed.width + x], expected)
                        << names[b] << " at " << x << "," << y << " " << MethodLabel(method);
                }
                const std::string shown = bmpOut.substr(54 + 3 * ((framed.height - 1 - y) * framed.width + x), 3);
                ASSERT_EQ(shown, inside ? bmpIn.substr(54 + 3 * ((scene.height - 1 - cy) * scene.width + cx), 3)
                                        : std::string(3, '\0'))
                    << "picture at " << x << "," << y << " " << MethodLabel(method);
            }
        }
    }
}

TEST_F(PanSharpenRunTest, FourBandFileAndGroupFuseLikeSeparateFiles)
{
    const Scene scene = MakeScene(512, 512);
    WriteEnviScene(dir.Path(), scene);
    TempDir four, idrisi;
    WriteEnvi4Scene(four.Path(), scene);
    WriteIdrisiScene(idrisi.Path(), scene);
    PanSharpenJob separate = BrowsedJob(dir.Path(), "img");
    PanSharpenJob fourBand = BrowsedJob(four.Path(), "img", true);
    PanSharpenJob group = BrowsedJob(idrisi.Path(), "rst", false, true);
    ASSERT_EQ(Run(separate), RunOutcome::Finished);
    ASSERT_EQ(Run(fourBand), RunOutcome::Finished) << ::testing::PrintToString(host.Messages());
    ASSERT_EQ(Run(group), RunOutcome::Finished) << ::testing::PrintToString(host.Messages());
    EXPECT_THAT(host.Log(), HasSubstr("Blue:\t" + four.File("ms.img") + "(Blue)\r\n"));
    const char* names[4] = {"blue", "green", "red", "nir"};
    for (int b = 0; b < 4; ++b) {
        const auto reference = ReadInt16File(Path(std::string(names[b]) + "_Fused.img"));
        EXPECT_EQ(ReadInt16File(four.File("ms_Fused" + std::to_string(b + 1) + ".img")), reference);
        EXPECT_EQ(ReadInt16File(idrisi.File(std::string(names[b]) + "_Fused.rst")), reference);
    }
    EXPECT_EQ(ReadFileBytes(four.File("pan_Fused.bmp")), ReadFileBytes(Path("pan_Fused.bmp")));
    EXPECT_THAT(ReadFileBytes(idrisi.File("nir_Fused.rdc")),
                EndsWith("lineage     : This file was fused with the pan band " + idrisi.File("pan.rst")));
}

TEST_F(PanSharpenRunTest, ImplausibleCoefficientsEndUnfortunateAndRemoveOutputs)
{
    Scene scene = MakeScene(512, 512);
    std::fill(scene.ms[kNir].begin(), scene.ms[kNir].end(), 0);
    WriteEnviScene(dir.Path(), scene);
    PanSharpenJob job = BrowsedJob(dir.Path(), "img");
    EXPECT_EQ(Run(job), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(),
                ElementsAre("Sorry, Cannot process the inputs selected. Please check input images."));
    EXPECT_THAT(host.Log(), EndsWith("    Step 1: .........\tUnfortunate\r\n\r\n\r\n"));
    EXPECT_FALSE(Exists(Path("blue_Fused.img")));
    EXPECT_FALSE(Exists(Path("pan_Fused.bmp")));
    EXPECT_TRUE(job.panPath.empty());  // "Optimisation 1" resets the inputs
    EXPECT_EQ(job.width, 0);
}

TEST_F(PanSharpenRunTest, CancelRemovesEveryOutput)
{
    WriteEnviScene(dir.Path(), MakeScene(512, 512));
    for (long pump : {3L, 30L, 200L}) {
        PanSharpenJob job = BrowsedJob(dir.Path(), "img");
        host.ClearLog();
        host.cancelAtPump = host.Pumps() + pump;
        EXPECT_EQ(Run(job), RunOutcome::Cancelled);
        EXPECT_THAT(host.Log(), EndsWith("\r\nCancelled\r\n\r\n"));
        for (const char* name : {"blue_Fused.img", "nir_Fused.hdr", "pan_Fused.bmp"}) {
            EXPECT_FALSE(Exists(Path(name))) << name << " after pump " << pump;
        }
    }
}

// Stops after the report has begun: each ends the report with its closing line, and every file
// in the folder keeps its bytes (a declined overwrite, an empty suffix naming the inputs, an
// output folder that does not exist included).
TEST_F(PanSharpenRunTest, StopsInTheReportEndItAndLeaveEveryFileAsItWas)
{
    struct Case {
        std::function<void(PanSharpenJob&)> edit;
        std::vector<std::string> messages;
        std::string logEnd;
    };
    const std::string unsuccessful = "\r\n\r\nUnsuccessful\r\n";
    const Case cases[] = {
        {[](PanSharpenJob& j) { j.width = 2000, j.height = 400; },  // only both sides are too small
         {"Check the file size of Pan image."},
         "File Size:\t\t524288 bytes\r\n" + unsuccessful},
        {[this](PanSharpenJob&) { WriteEnviHeader(Path("red.img"), 100, 128, 1); },
         {"Check the width/height of the input image."},
         "File Size:\t\t32768 bytes\r\n" + unsuccessful},
        {[this](PanSharpenJob&) { WriteFileBytes(Path("green.img"), std::string(1000, '\0')); },
         {"The file size of Ms bands is not the same."},
         "File Size:\t\t32768 bytes\r\n" + unsuccessful},
        {[this](PanSharpenJob&) {
             WriteFileBytes(Path("pan_Fused.bmp"), "old picture");
             host.QueueAnswers({false});
         },
         {},
         "\t- Red: \t\t0" + unsuccessful},
        {[](PanSharpenJob& j) { SetSuffix(j, ""); },
         {Path("blue.img") + " is an input of this run.\nChange the suffix used or the name of the "
                             "24-bit BMP."},
         "\t- Red: \t\t0" + unsuccessful},
        {[](PanSharpenJob& j) { SetSuffix(j, "/no such folder/out"); },
         {"Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk."},
         "\t- Red: \t\t0" + unsuccessful},
    };
    const auto contents = [this] {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            files[entry.path().string()] = ReadFileBytes(entry.path().string());
        return files;
    };
    for (const Case& c : cases) {
        WriteEnviScene(dir.Path(), MakeScene(512, 512));
        std::filesystem::remove(Path("pan_Fused.bmp"));
        PanSharpenJob job = BrowsedJob(dir.Path(), "img");
        c.edit(job);
        const auto before = contents();
        host.ClearMessages();
        host.ClearLog();
        EXPECT_EQ(Run(job), RunOutcome::Stopped) << c.logEnd;
        EXPECT_EQ(host.Messages(), c.messages) << c.logEnd;
        EXPECT_THAT(host.Log(), EndsWith(c.logEnd));
        EXPECT_TRUE(contents() == before) << c.logEnd;
    }
    // A wrong band header clears that band's selection, not the others.
    PanSharpenJob job = BrowsedJob(dir.Path(), "img");
    WriteEnviHeader(Path("red.img"), 100, 128, 1);
    EXPECT_EQ(Run(job), RunOutcome::Stopped);
    EXPECT_TRUE(job.selection[kRed].empty());
    EXPECT_FALSE(job.selection[kNir].empty());
}

}  // namespace
}  // namespace lumesta::testing
