#include "fusion/injection_fusion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "fusion/injection_model.h"
#include "fusion/upsample_weights.h"
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
                             const std::array<int, 3>& amounts = {0, 0, 0})
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
        const SensorGains sensor = *FindSensor("worldview2");
        inputs.msGains = sensor.ms;
        inputs.panGain = sensor.pan;
        InjectionModel model(inputs);
        const auto going = [] { return true; };
        EXPECT_EQ(FitInjectionModel(inputs, model, "read", host, going), StepResult::Ok);
        std::array<RawFile, 4> files;
        for (int k = 0; k < 4; ++k) files[k].CreateForReadWrite(dir.File("f" + std::to_string(k)));
        const auto progress = host.OpenProgress("", ProgressOwner::ToolDialog);
        EXPECT_EQ(FuseInjectedImage(model, inputs.panPath, files, amounts, stripRows, "read",
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
        for (int n = 0; n < 4 * coarse; ++n) EXPECT_NEAR(actual[n], expected[n], 1e-9) << coarse << ":" << n;
    }
}

TEST_F(InjectionTest, FlatPanInjectsNoDetailAndGivesTheUpsampledBands)
{
    // 8 × 8 pan, 2 × 2 MS; the NIR band is all zeros, so the pyramid's low-pass pan is 0 there.
    Scene scene{8, 8, Band(64, 900), {}};
    scene.ms = {Band{100, 300, 500, 700}, Band{50, 50, 900, 60}, Band{1000, 10, 10, 1000}, Band(4, 0)};
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
            EXPECT_EQ(Fuse(scene, method, rows), whole) << MethodLabel(method) << " strips " << rows;
        }
        // The colour adjustment follows the same pixels.
        EXPECT_EQ(Fuse(scene, method, 3, {5, 10, 15}), Fuse(scene, method, 44, {5, 10, 15}));
    }
}

}  // namespace
}  // namespace lumesta
