// MTF-GLP-EBP: the pyramid's detail with a gain matched in energy on the pair degraded once more,
// then four steps of spectral back-projection. Checked against a reference computed on whole
// images straight from the method's definition (the engine streams it in strips and passes).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "fusion/injection/back_projection.h"
#include "fusion/injection/ms_scale_rows.h"
#include "tests/engine/fusion/injection/injection_scene.h"

namespace lumesta {
namespace {

using namespace injection_test;

double EnergyGain(const AnyScene& s, const std::vector<double>& gains, double panGain)
{
    const int r = s.ratio, w = s.width / r, h = s.height / r;
    const int cw = w / r * r, ch = h / r * r;
    const Values pc = Crop(AsFloats(DegradeWhole(s.pan, s.width, s.height, panGain, r)), w, cw, ch);
    double sum = 0;
    int counted = 0;
    for (std::size_t k = 0; k < s.ms.size(); ++k) {
        const Values m = Crop(s.ms[k], w, cw, ch);
        const Values mc = AsFloats(DegradeWhole(m, cw, ch, gains[k], r));
        const Values lc = AsFloats(DegradeWhole(pc, cw, ch, gains[k], r));
        const auto [scale, offset] = Equalisation(mc, lc);
        const Values mt = UpsampleWhole(mc, cw / r, ch / r, r);
        const Values lt = UpsampleWhole(lc, cw / r, ch / r, r);
        double target = 0, detail = 0;
        for (std::size_t i = 0; i < m.size(); ++i) {
            const double pe = scale * pc[i] + offset, ple = scale * lt[i] + offset;
            const double d = ple > 0 ? mt[i] * (pe - ple) / ple : 0.0;
            target += (m[i] - mt[i]) * (m[i] - mt[i]);
            detail += d * d;
        }
        if (detail > 0) {
            sum += std::sqrt(target / detail);
            ++counted;
        }
    }
    return counted > 0 ? sum / counted : 1.0;
}

// The fused bands before rounding, and the upsampled bands they started from.
std::vector<Values> ReferenceGlpEbp(const AnyScene& s, const std::vector<double>& gains,
                                    double panGain)
{
    const int r = s.ratio, w = s.width / r, h = s.height / r;
    const double alpha = EnergyGain(s, gains, panGain);
    std::vector<Values> fused;
    for (std::size_t k = 0; k < s.ms.size(); ++k) {
        const Values low = AsFloats(DegradeWhole(s.pan, s.width, s.height, gains[k], r));
        const auto [scale, offset] = Equalisation(s.ms[k], low);
        const Values mt = UpsampleWhole(s.ms[k], w, h, r);
        const Values lt = UpsampleWhole(low, w, h, r);
        Values f(mt.size());
        for (std::size_t i = 0; i < f.size(); ++i) {
            const double pe = scale * s.pan[i] + offset, ple = scale * lt[i] + offset;
            f[i] = ple > 0 ? mt[i] + alpha * mt[i] * (pe - ple) / ple : mt[i];
        }
        const Values degraded = DegradeWhole(f, s.width, s.height, gains[k], r);
        Values e(degraded.size()), total(degraded.size(), 0.0);
        for (std::size_t i = 0; i < e.size(); ++i) e[i] = s.ms[k][i] - degraded[i];
        for (int step = 0; step < 4; ++step) {
            for (std::size_t i = 0; i < e.size(); ++i) total[i] += e[i];
            const Values back =
                DegradeWhole(UpsampleWhole(e, w, h, r), s.width, s.height, gains[k], r);
            for (std::size_t i = 0; i < e.size(); ++i) e[i] -= back[i];
        }
        const Values correction = UpsampleWhole(total, w, h, r);
        for (std::size_t i = 0; i < f.size(); ++i) f[i] += correction[i];
        fused.push_back(f);
    }
    return fused;
}

class GlpEbpTest : public InjectionTest {};

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The back-projection's sums along and down the lines, taken several vectors at a time, equal
// the sums taken one sample at a time in order, bit for bit, wherever the vector runs end.
TEST_F(GlpEbpTest, BackProjectionSumsEqualTheInOrderSumsBothWaysAtEveryLength)
{
    std::mt19937 random(67);
    std::uniform_real_distribution<double> value(-300.0, 300.0);
    for (std::int64_t n : {3, 9, 40, 77, 131, 300}) {
        SCOPED_TRACE(n);
        std::vector<double> in(static_cast<std::size_t>(n)), out(in.size());
        for (double& v : in) v = value(random);
        const BandedOperator along(n, 4, 0.3);
        along.Apply(in.data(), out.data());
        for (std::int64_t i = 0; i < n; ++i) {
            const double* w = along.Weights(i);
            double sum = 0 + w[0] * in[along.First(i)];
            for (int c = 1; c < along.Count(i); ++c) sum += w[c] * in[along.First(i) + c];
            ASSERT_TRUE(SameBits(out[i], sum)) << i;
        }
        std::vector<std::vector<double>> rows(7, std::vector<double>(in.size()));
        std::vector<const double*> pointers;
        for (auto& row : rows) {
            for (double& v : row) v = value(random);
            pointers.push_back(row.data());
        }
        const double weights[7] = {-0.01, 0.07, 0.3, 0.55, 0.2, -0.08, 0.002};
        WeightedRowSum(weights, 7, pointers.data(), n, out.data());
        for (std::int64_t x = 0; x < n; ++x) {
            double sum = 0 + weights[0] * rows[0][x];
            for (int c = 1; c < 7; ++c) sum += weights[c] * rows[c][x];
            ASSERT_TRUE(SameBits(out[x], sum)) << x;
        }
    }
}

// The engine keeps its pieces as floats where the reference keeps doubles and sums in another
// order, so a value within a hair of a half may round the other way; nothing may differ more.
TEST_F(GlpEbpTest, FusesAsTheReferenceComputedOnWholeImagesAtEveryRatio)
{
    for (int ratio : {2, 4, 8}) {
        SCOPED_TRACE(ratio);
        const AnyScene scene = RandomAnyScene(16 * ratio, 12 * ratio, ratio, 3, 51);
        const std::vector<double> gains = {0.35, 0.27, 0.35};
        const auto fused = FuseAny(scene, FusionMethod::GlpEbp, 0, gains, 0.11);
        const auto reference = ReferenceGlpEbp(scene, gains, 0.11);
        int exact = 0;
        for (int k = 0; k < 3; ++k) {
            for (std::size_t i = 0; i < reference[k].size(); ++i) {
                const double value = std::clamp(reference[k][i], -32768.0, 32767.0);
                ASSERT_NEAR(fused[k][i], value, 0.52) << k << ":" << i;
                exact += fused[k][i] == std::nearbyint(value);
            }
        }
        EXPECT_GE(exact, 3 * scene.width * scene.height - 12);
    }
}

// With a flat pan there is no detail to inject: the fused bands are the upsampled bands
// corrected so that degrading them gives back the MS, far more closely than the upsampled
// bands themselves do. A constant MS stays constant.
TEST_F(GlpEbpTest, FlatPanGivesTheUpsampledBandsBackProjectedOntoTheMs)
{
    AnyScene scene = RandomAnyScene(64, 48, 4, 3, 57);
    std::fill(scene.pan.begin(), scene.pan.end(), 900);
    for (double& v : scene.ms[2]) v = 640;
    const std::vector<double> gains = {0.3, 0.3, 0.3};
    const auto fused = FuseAny(scene, FusionMethod::GlpEbp, 0, gains, 0.15);
    for (double v : fused[2]) ASSERT_EQ(v, 640);
    for (int k = 0; k < 2; ++k) {
        const Values upsampled = UpsampleWhole(scene.ms[k], 16, 12, 4);
        const Values fromFused = DegradeWhole(fused[k], 64, 48, 0.3, 4);
        const Values fromUpsampled = DegradeWhole(upsampled, 64, 48, 0.3, 4);
        double fusedError = 0, upsampledError = 0;
        for (std::size_t i = 0; i < scene.ms[k].size(); ++i) {
            fusedError += std::fabs(scene.ms[k][i] - fromFused[i]);
            upsampledError += std::fabs(scene.ms[k][i] - fromUpsampled[i]);
        }
        // White noise converges slowest (its highest frequencies keep (1 − 0.09)^4 of their
        // error); the residual still falls to about a third.
        EXPECT_LT(fusedError, 0.4 * upsampledError) << k;
    }
}

// The fusion pass that measures and back-projects as it goes gives the bytes of a separate
// measuring pass whatever its strips, the strips it hands on and the threads, with or without
// holes and with the colour adjustment; so does the separate pass in strips of its own.
TEST_F(GlpEbpTest, BytesDoNotDependOnTheMeasuringStripsOrTheThreads)
{
    // Tall enough that the kept rows wrap round several times.
    AnyScene scene = RandomAnyScene(48, 640, 4, 4, 61);
    const std::vector<double> gains = {0.35, 0.35, 0.3, 0.27};
    for (const bool holes : {false, true}) {
        SCOPED_TRACE(holes);
        if (holes) {
            scene.panNoData = 0;
            scene.pan[30 * 48 + 41] = 0;
            scene.pan[470 * 48 + 3] = 0;
            scene.ms[3][97 * 12 + 5] = 0;
            scene.msNoData = 0;
        }
        for (const std::array<int, 3> amounts : {std::array<int, 3>{0, 0, 0}, {20, 10, 30}}) {
            separateCorrectionPass = true;
            measureStripRows = 0;
            const auto whole = FuseAny(scene, FusionMethod::GlpEbp, 0, gains, 0.11, amounts);
            measureStripRows = 7;
            EXPECT_EQ(FuseAny(scene, FusionMethod::GlpEbp, 5, gains, 0.11, amounts), whole);
            separateCorrectionPass = false;
            for (const auto& [fuseRows, handRows] :
                 {std::pair<std::int64_t, std::int64_t>{0, 0}, {1, 640}, {7, 5}, {33, 1}}) {
                measureStripRows = fuseRows;
                EXPECT_EQ(FuseAny(scene, FusionMethod::GlpEbp, handRows, gains, 0.11, amounts),
                          whole)
                    << fuseRows << " " << handRows;
            }
            ::setenv("LUMESTA_THREADS", "1", 1);
            measureStripRows = 0;
            EXPECT_EQ(FuseAny(scene, FusionMethod::GlpEbp, 0, gains, 0.11, amounts), whole);
            ::unsetenv("LUMESTA_THREADS");
        }
    }
}

// At the other ratios too the one pass holds every row its strips come back to, on a scene
// tall enough for its rings to wrap round many times.
TEST_F(GlpEbpTest, OnePassGivesTheSeparatePassBytesAtRatiosTwoAndEight)
{
    for (int ratio : {2, 8}) {
        SCOPED_TRACE(ratio);
        const AnyScene scene = RandomAnyScene(64, 1280, ratio, 3, 71);
        const std::vector<double> gains = {0.35, 0.3, 0.27};
        separateCorrectionPass = true;
        measureStripRows = 0;
        const auto whole = FuseAny(scene, FusionMethod::GlpEbp, 0, gains, 0.11);
        separateCorrectionPass = false;
        for (const auto& [fuseRows, handRows] :
             {std::pair<std::int64_t, std::int64_t>{0, 0}, {5, 3}, {40, 1}, {1, 57}}) {
            measureStripRows = fuseRows;
            EXPECT_EQ(FuseAny(scene, FusionMethod::GlpEbp, handRows, gains, 0.11), whole)
                << fuseRows << " " << handRows;
        }
    }
}

}  // namespace
}  // namespace lumesta
