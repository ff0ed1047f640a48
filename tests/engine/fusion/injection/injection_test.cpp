#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/upsample_weights.h"
#include "imaging/interpolator23.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"
#include "imaging/sensor_gains.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using testing::FakeHost;
using testing::TempDir;
using Band = std::vector<std::int16_t>;

const FusionMethod kMethods[] = {FusionMethod::Gsa, FusionMethod::GlpHpm, FusionMethod::Awlp,
                                 FusionMethod::Brovey};

struct Scene {
    int width = 0;  // pan W × H; the MS is W/4 × H/4
    int height = 0;
    Band pan;
    std::array<Band, 4> ms;
};

// Upsamples a band by 4 with the interpolator's ×2 steps, rows first, then columns.
std::vector<double> Upsample(const Band& band, int msWidth, int msHeight)
{
    std::vector<double> wide(static_cast<std::size_t>(msHeight) * msWidth * 4);
    for (int y = 0; y < msHeight; ++y) {
        std::vector<double> line(band.begin() + y * msWidth, band.begin() + (y + 1) * msWidth);
        std::vector<double> twice(2 * line.size()), fourTimes(4 * line.size());
        Upsample2Line(line.data(), msWidth, 1, twice.data());
        Upsample2Line(twice.data(), 2 * msWidth, 0, fourTimes.data());
        std::copy(fourTimes.begin(), fourTimes.end(), wide.begin() + y * msWidth * 4);
    }
    const int width = 4 * msWidth;
    std::vector<double> out(static_cast<std::size_t>(width) * msHeight * 4);
    for (int x = 0; x < width; ++x) {
        std::vector<double> column(msHeight), twice(2 * msHeight), fourTimes(4 * msHeight);
        for (int y = 0; y < msHeight; ++y) column[y] = wide[y * width + x];
        Upsample2Line(column.data(), msHeight, 1, twice.data());
        Upsample2Line(twice.data(), 2 * msHeight, 0, fourTimes.data());
        for (int y = 0; y < 4 * msHeight; ++y) out[y * width + x] = fourTimes[y];
    }
    return out;
}

class InjectionTest : public ::testing::Test {
protected:
    // Fuses the scene with a method through both passes, strips of stripRows pan rows.
    std::array<Band, 4> Fuse(const Scene& scene, FusionMethod method, std::int64_t stripRows,
                             const std::array<int, 3>& amounts = {0, 0, 0},
                             const char* sensorName = "worldview2")
    {
        InjectionInputs inputs;
        inputs.method = method;
        inputs.width = scene.width;
        inputs.height = scene.height;
        inputs.panPath = dir.File("pan.raw");
        testing::WriteInt16File(inputs.panPath, scene.pan);
        for (int k = 0; k < 4; ++k) {
            inputs.msPaths[k] = dir.File("ms" + std::to_string(k) + ".raw");
            testing::WriteInt16File(inputs.msPaths[k], scene.ms[k]);
        }
        const SensorGains sensor = *FindSensor(sensorName);
        std::copy_n(sensor.ms.begin(), inputs.msGains.size(), inputs.msGains.begin());
        inputs.panGain = sensor.pan;
        InjectionModel model(inputs);
        const auto going = [] { return true; };
        EXPECT_EQ(FitInjectionModel(inputs, model, "read", host, going), StepResult::Ok);
        std::array<RawFile, 4> files;
        for (int k = 0; k < 4; ++k) files[k].CreateForReadWrite(dir.File("f" + std::to_string(k)));
        const auto progress = host.OpenProgress("", ProgressOwner::ToolDialog);
        EXPECT_EQ(FuseInjectedImage(model, inputs.panPath, WriteRowsTo(files, scene.width, host), amounts, stripRows, "read",
                                    *progress, host, going),
                  StepResult::Ok);
        std::array<Band, 4> fused;
        for (int k = 0; k < 4; ++k) {
            files[k].Close();
            fused[k] = testing::ReadInt16File(dir.File("f" + std::to_string(k)));
        }
        return fused;
    }

    TempDir dir;
    FakeHost host;
};

Scene RandomScene(int width, int height, unsigned seed)
{
    std::srand(seed);
    Scene scene{width, height, Band(static_cast<std::size_t>(width) * height), {}};
    for (auto& value : scene.pan) value = static_cast<std::int16_t>(200 + std::rand() % 1800);
    for (auto& band : scene.ms) {
        band.resize(static_cast<std::size_t>(width / 4) * (height / 4));
        for (auto& value : band) value = static_cast<std::int16_t>(100 + std::rand() % 1900);
    }
    return scene;
}

TEST_F(InjectionTest, AxisWeightsUpsampleAsTheInterpolatorItselfDoes)
{
    for (int coarse : {1, 2, 3, 7, 40, 300}) {
        std::vector<double> line(coarse);
        for (int i = 0; i < coarse; ++i) line[i] = std::sin(1.7 * i) * 500 + 0.25 * i;
        std::vector<double> twice(2 * coarse), expected(4 * coarse), actual(4 * coarse);
        Upsample2Line(line.data(), coarse, 1, twice.data());
        Upsample2Line(twice.data(), 2 * coarse, 0, expected.data());
        const AxisWeights weights(coarse, 4);
        ASSERT_EQ(weights.Fine(), 4 * coarse);
        weights.Apply(line.data(), actual.data());
        for (int n = 0; n < 4 * coarse; ++n)
            EXPECT_NEAR(actual[n], expected[n], 1e-9) << coarse << ":" << n;
    }
}

TEST_F(InjectionTest, FlatPanInjectsNoDetailAndGivesTheUpsampledBands)
{
    // 8 × 8 pan, 2 × 2 MS; the NIR band is all zeros, so the pyramid's low-pass pan is 0 there.
    Scene scene{8, 8, Band(64, 900), {}};
    scene.ms = {Band{100, 300, 500, 700}, Band{50, 50, 900, 60}, Band{1000, 10, 10, 1000},
                Band(4, 0)};
    for (FusionMethod method : {FusionMethod::Gsa, FusionMethod::GlpHpm, FusionMethod::Awlp}) {
        const auto fused = Fuse(scene, method, 8);
        for (int k = 0; k < 4; ++k) {
            const auto expected = Upsample(scene.ms[k], 2, 2);
            for (int i = 0; i < 64; ++i) {
                EXPECT_NEAR(fused[k][i], expected[i], 0.5 + 1e-9)
                    << MethodLabel(method) << " band " << k << " pixel " << i;
            }
        }
    }
}

TEST_F(InjectionTest, PanEqualToTheBandsMeanGivesBroveyTheUpsampledBands)
{
    Scene scene = RandomScene(8, 8, 3);
    std::array<std::vector<double>, 4> up;
    for (int k = 0; k < 4; ++k) up[k] = Upsample(scene.ms[k], 2, 2);
    for (int i = 0; i < 64; ++i) {
        scene.pan[i] = static_cast<std::int16_t>(
            std::lround(0.25 * up[0][i] + 0.25 * up[1][i] + 0.25 * up[2][i] + 0.25 * up[3][i]));
    }
    const auto fused = Fuse(scene, FusionMethod::Brovey, 8);
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 64; ++i) EXPECT_NEAR(fused[k][i], up[k][i], 2.0) << k << ":" << i;
    }
}

TEST_F(InjectionTest, LeastSquaresRecoverTheWeightsOfAKnownCombination)
{
    const double truth[5] = {12.5, 0.25, -0.5, 1.5, 0.125};
    std::array<std::array<double, 6>, 5> normal{};
    std::srand(7);
    for (int i = 0; i < 200; ++i) {
        double x[5] = {1, 0, 0, 0, 0};
        double y = truth[0];
        for (int k = 1; k < 5; ++k) {
            x[k] = std::rand() % 2000;
            y += truth[k] * x[k];
        }
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 5; ++c) normal[r][c] += x[r] * x[c];
            normal[r][5] += x[r] * y;
        }
    }
    const auto solved = SolveIntensityWeights(normal);
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(solved[k], truth[k], 1e-6) << k;
    // Two identical bands leave the system singular: no weights rather than huge ones.
    for (auto& row : normal) row[2] = row[1];
    normal[2] = normal[1];
    EXPECT_EQ(SolveIntensityWeights(normal), (std::array<double, 5>{}));
}

TEST_F(InjectionTest, OutputBytesDoNotDependOnTheStripHeight)
{
    const Scene scene = RandomScene(64, 44, 11);
    for (FusionMethod method : kMethods) {
        const auto whole = Fuse(scene, method, 44);
        for (std::int64_t rows : {1, 5, 16}) {
            EXPECT_EQ(Fuse(scene, method, rows), whole)
                << MethodLabel(method) << " strips " << rows;
        }
        // The colour adjustment follows the same pixels.
        EXPECT_EQ(Fuse(scene, method, 3, {5, 10, 15}), Fuse(scene, method, 44, {5, 10, 15}));
    }
}

// A generated scene with a known truth at pan scale: smooth shading, sharp-edged fields of
// different spectra and fine texture. The MS is the truth degraded with the sensor's MTF
// Gaussians and decimated; the pan a brighter weighted sum of the true bands.
struct TruthScene {
    Scene scene;
    std::array<std::vector<double>, 4> truth;
};

TruthScene MakeTruthScene(int side, const SensorGains& sensor)
{
    TruthScene made;
    made.scene = Scene{side, side, Band(static_cast<std::size_t>(side) * side), {}};
    const double spectra[3][4] = {{300, 450, 380, 900}, {500, 520, 600, 700}, {200, 250, 180, 300}};
    for (int k = 0; k < 4; ++k) made.truth[k].resize(made.scene.pan.size());
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int field = (x > side / 3 + y / 4) + (y > 2 * side / 3 && x < side / 2);
            for (int k = 0; k < 4; ++k) {
                made.truth[k][y * side + x] = spectra[field][k] + 2.0 * (x + y) +
                                              40 * std::sin(0.9 * x + k) * std::cos(0.7 * y);
            }
            const double* t[4];
            for (int k = 0; k < 4; ++k) t[k] = &made.truth[k][y * side + x];
            made.scene.pan[y * side + x] = static_cast<std::int16_t>(
                std::lround(1.1 * (0.2 * *t[0] + 0.3 * *t[1] + 0.3 * *t[2] + 0.2 * *t[3]) + 20));
        }
    }
    const int msSide = side / 4;
    for (int k = 0; k < 4; ++k) {
        const MtfTaps taps = MtfGaussian(sensor.ms[k], 4);
        std::vector<double> scratch(side), row(msSide);
        made.scene.ms[k].resize(static_cast<std::size_t>(msSide) * msSide);
        for (int i = 0; i < msSide; ++i) {
            const double* rows[kMtfTaps];
            for (int t = 0; t < kMtfTaps; ++t) {
                rows[t] = made.truth[k].data() + ClampIndex(4 * i + 2 - kMtfHalo + t, side) * side;
            }
            FilterDecimateRow(taps, rows, side, 4, 2, msSide, scratch.data(), row.data());
            for (int j = 0; j < msSide; ++j) {
                made.scene.ms[k][i * msSide + j] = static_cast<std::int16_t>(std::lround(row[j]));
            }
        }
    }
    return made;
}

template <typename Image>
double Ergas(const Image& fused, const std::array<std::vector<double>, 4>& truth)
{
    double sum = 0;
    for (int k = 0; k < 4; ++k) {
        double squares = 0, mean = 0;
        for (std::size_t i = 0; i < truth[k].size(); ++i) {
            squares += (fused[k][i] - truth[k][i]) * (fused[k][i] - truth[k][i]);
            mean += truth[k][i];
        }
        mean /= static_cast<double>(truth[k].size());
        sum += squares / static_cast<double>(truth[k].size()) / (mean * mean);
    }
    return 100.0 / 4 * std::sqrt(sum / 4);
}

TEST_F(InjectionTest, FusionBeatsTheUpsampledBandsAndKeepsItsQuality)
{
    const SensorGains sensor = *FindSensor("quickbird");
    const TruthScene made = MakeTruthScene(128, sensor);
    std::array<std::vector<double>, 4> upsampled;
    for (int k = 0; k < 4; ++k) upsampled[k] = Upsample(made.scene.ms[k], 32, 32);
    const double plain = Ergas(upsampled, made.truth);
    // ERGAS as the methods reached it when written (0.631, 0.652, 0.705, 2.996); a change may
    // only lower it. Brovey takes the pan's radiometry unmatched, so only it may lose to the
    // upsampled bands (0.798).
    const std::pair<FusionMethod, double> pinned[] = {{FusionMethod::Gsa, 0.64},
                                                      {FusionMethod::GlpHpm, 0.66},
                                                      {FusionMethod::Awlp, 0.71},
                                                      {FusionMethod::Brovey, 3.0}};
    for (const auto& [method, bound] : pinned) {
        const double ergas =
            Ergas(Fuse(made.scene, method, 32, {0, 0, 0}, "quickbird"), made.truth);
        if (method != FusionMethod::Brovey) {
            EXPECT_LT(ergas, plain) << MethodLabel(method);
        }
        EXPECT_LE(ergas, bound) << MethodLabel(method);
    }
}

}  // namespace
}  // namespace lumesta
