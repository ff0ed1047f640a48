// The fusion quality metrics: hand-computed cases and identities, undefined metrics, and the
// streaming (panels, no data) against itself. The metrics' definitions on real scenes, partial
// blocks and padded band counts: the numpy reference (tests/reference).

#include "assess/quality_metrics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "assess/quality_kernels.h"
#include "imaging/row_window.h"
#include "tests/support/fake_host.h"

namespace lumesta {
namespace {

using Image = std::vector<double>;  // row-major

struct Scene {
    std::int64_t w, h;
    std::vector<Image> bands;
};

Scene RandomScene(std::int64_t w, std::int64_t h, int bands, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(0.0, 1000.0);
    Scene scene{w, h, {}};
    for (int k = 0; k < bands; ++k) {
        Image band(static_cast<std::size_t>(w * h));
        for (std::int64_t i = 0; i < w * h; ++i)
            band[i] = 100 * (k + 1) + value(random) * (1 + (i % w) / 40.0);
        scene.bands.push_back(band);
    }
    return scene;
}

// Noisy copy: a fused image that is close but not equal.
Scene Perturbed(const Scene& scene, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 30.0);
    Scene out = scene;
    for (auto& band : out.bands) {
        for (double& v : band) v = v * 0.97 + noise(random);
    }
    return out;
}

struct Streams {
    std::vector<std::unique_ptr<BufferWindowSource>> owned;
    std::vector<RowWindowSource*> pointers;
    explicit Streams(const Scene& scene)
    {
        for (const Image& band : scene.bands) {
            owned.push_back(std::make_unique<BufferWindowSource>(scene.w, scene.h, band));
            pointers.push_back(owned.back().get());
        }
    }
};

TEST(QualityKernelsTest, HandComputedBlocksAndDegenerateCases)
{
    // x = (1 2 / 3 4), y = (2 2 / 4 4): Q = 40 / 45.75 with sample statistics.
    const double x[] = {1, 2, 3, 4};
    const double y[] = {2, 2, 4, 4};
    EXPECT_NEAR(QualityIndexOfBlocks(x, y, 2, 2), 40 / 45.75, 1e-15);
    const double c3[] = {3, 3, 3, 3}, c5[] = {5, 5, 5, 5}, zero[] = {0, 0, 0, 0};
    EXPECT_NEAR(QualityIndexOfBlocks(c3, c5, 2, 2), 30.0 / 34.0, 1e-15);  // 2·3·5 / (9 + 25)
    EXPECT_EQ(QualityIndexOfBlocks(zero, zero, 2, 2), 1.0);
    const double centred[] = {-1, 1, -1, 1}, flipped[] = {1, -1, 1, -1};
    EXPECT_NEAR(QualityIndexOfBlocks(centred, flipped, 2, 2), -1.0, 1e-15);  // means 0
}

TEST(QualityKernelsTest, CayleyDicksonProductIsTheQuaternionProductAndKeepsNorms)
{
    const double i[] = {0, 1, 0, 0}, j[] = {0, 0, 1, 0};
    double k[4];
    HypercomplexProduct(i, j, k, 4);
    EXPECT_EQ(std::fabs(k[3]), 1.0);
    EXPECT_EQ(k[0] + k[1] + k[2], 0.0);
    double ji[4];
    HypercomplexProduct(j, i, ji, 4);
    EXPECT_EQ(ji[3], -k[3]);  // anticommutative
    std::mt19937 random(1);
    std::uniform_real_distribution<double> value(-2, 2);
    for (int n : {2, 4, 8}) {  // composition algebras: |xy| = |x||y|
        std::vector<double> a(n), b(n), p(n);
        for (int t = 0; t < n; ++t) a[t] = value(random), b[t] = value(random);
        HypercomplexProduct(a.data(), b.data(), p.data(), n);
        double na = 0, nb = 0, np = 0;
        for (int t = 0; t < n; ++t) na += a[t] * a[t], nb += b[t] * b[t], np += p[t] * p[t];
        EXPECT_NEAR(np, na * nb, 1e-12 * na * nb);
    }
}

TEST(QualityMetricsTest, IdenticalImagesGiveTheIdealValuesAndGainsActOnSamOnlyPerBand)
{
    testing::FakeHost host;
    const Scene g = RandomScene(64, 64, 4, 1);
    Streams f(g), r(g);
    ReducedMetrics m;
    ASSERT_TRUE(ComputeReducedMetrics(
        f.pointers, r.pointers, 4, [] { return true; }, host, m));
    EXPECT_EQ(m.ergas, 0.0);
    EXPECT_NEAR(m.sam, 0.0, 1e-12);
    EXPECT_NEAR(m.q, 1.0, 1e-12);
    EXPECT_NEAR(m.q2n, 1.0, 1e-12);
    EXPECT_NEAR(m.scc, 1.0, 1e-12);

    Scene allGain = g, oneGain = g;
    for (auto& band : allGain.bands)
        for (double& v : band) v *= 1.5;
    for (double& v : oneGain.bands[2]) v *= 1.5;
    Streams a(allGain), o(oneGain), r2(g), r3(g);
    ReducedMetrics ma, mo;
    ASSERT_TRUE(ComputeReducedMetrics(
        a.pointers, r2.pointers, 4, [] { return true; }, host, ma));
    ASSERT_TRUE(ComputeReducedMetrics(
        o.pointers, r3.pointers, 4, [] { return true; }, host, mo));
    EXPECT_NEAR(ma.sam, 0.0, 1e-12);
    EXPECT_GT(mo.sam, 0.1);
}

// The reason the reduced metrics of fused against reference leave undefined, "" for none.
std::string ReducedUndefined(const Scene& fused, const Scene& reference, ReducedMetrics& m)
{
    testing::FakeHost host;
    Streams f(fused), r(reference);
    EXPECT_TRUE(ComputeReducedMetrics(
        f.pointers, r.pointers, 2, [] { return true; }, host, m));
    return m.undefined;
}

TEST(QualityMetricsTest, UndefinedMetricsAreNaNAndNamedWithTheirReason)
{
    ReducedMetrics m;
    const Scene flat{40, 40, {Image(1600, 0.0), Image(1600, 0.0)}};
    EXPECT_EQ(ReducedUndefined(flat, flat, m),
              "ERGAS is undefined: band 1 of the reference has mean 0.");
    EXPECT_TRUE(std::isnan(m.ergas));
    EXPECT_TRUE(std::isnan(m.sam));
    EXPECT_TRUE(std::isnan(m.scc));
    EXPECT_EQ(m.q, 1.0);  // both denominators 0: defined
    Scene secondZero = RandomScene(40, 40, 3, 2);
    secondZero.bands[1].assign(1600, 0.0);
    EXPECT_EQ(ReducedUndefined(secondZero, secondZero, m),
              "ERGAS is undefined: band 2 of the reference has mean 0.");
    const Scene constant{40, 40, {Image(1600, 7.0), Image(1600, 9.0)}};
    const Scene random = RandomScene(40, 40, 2, 3);
    EXPECT_EQ(ReducedUndefined(random, constant, m),
              "SCC is undefined: the reference has no gradient (its bands are constant).");
    EXPECT_EQ(ReducedUndefined(constant, random, m),
              "SCC is undefined: the fused image has no gradient (its bands are constant).");
    EXPECT_EQ(ReducedUndefined(flat, random, m),
              "SAM is undefined: no pixel is nonzero in both the fused image and the reference.");
    const Scene small = RandomScene(20, 20, 3, 4);
    EXPECT_EQ(ReducedUndefined(small, small, m),
              "Q is undefined: the image (20 x 20) holds no whole block of 32 x 32 pixels.");
    EXPECT_NEAR(m.q2n, 1.0, 1e-12);  // the padded block counts
    const Scene dot{1, 1, {Image(1, 5.0)}};
    EXPECT_EQ(ReducedUndefined(dot, dot, m),
              "Q is undefined: the image (1 x 1) holds no whole block of 32 x 32 pixels.");
    // A sample that is not a number is no data: its pixel and block take no part.
    const Scene wider = RandomScene(64, 64, 2, 3);
    Scene notANumber = wider;
    notANumber.bands[0][5] = std::nan("");
    EXPECT_EQ(ReducedUndefined(notANumber, wider, m), "");
    EXPECT_EQ(m.blocksUsed, m.blocksTotal - 1);
    Scene nothing = random;
    for (auto& band : nothing.bands) band.assign(band.size(), std::nan(""));
    EXPECT_EQ(ReducedUndefined(nothing, random, m),
              "ERGAS is undefined: every pixel holds no data.");
    EXPECT_EQ(ReducedUndefined(random, random, m), "");

    // Full resolution: D_lambda compares pairs of bands, and needs a whole block.
    const auto fullUndefined = [](const Scene& fused, const Scene& ms) {
        testing::FakeHost host;
        Streams f(fused), r(ms);
        Scene panScene{fused.w, fused.h, {fused.bands[0]}};
        Streams p(panScene), q(panScene);
        FullMetrics full;
        EXPECT_TRUE(ComputeFullMetrics(
            f.pointers, r.pointers, *p.pointers[0], *q.pointers[0], 2, 0.15, [] { return true; },
            host, full));
        return full.undefined;
    };
    EXPECT_EQ(fullUndefined(RandomScene(64, 64, 1, 5), RandomScene(32, 32, 1, 6)),
              "D_lambda is undefined: it compares pairs of bands, and the images have one band.");
    EXPECT_EQ(fullUndefined(RandomScene(16, 16, 2, 5), RandomScene(8, 8, 2, 6)),
              "D_lambda is undefined: the image (16 x 16) holds no whole block of 32 x 32 pixels.");
    EXPECT_EQ(fullUndefined(RandomScene(64, 64, 2, 5), RandomScene(32, 32, 2, 6)), "");
}

TEST(QualityMetricsTest, ACancelStopsTheMeasurement)
{
    testing::FakeHost host;
    const Scene g = RandomScene(64, 96, 2, 2);
    Streams f(g), r(g);
    int pumps = 0;
    ReducedMetrics m;
    EXPECT_FALSE(ComputeReducedMetrics(
        f.pointers, r.pointers, 2, [&] { return ++pumps < 2; }, host, m));
    EXPECT_EQ(pumps, 2);
}

// Several panels of columns, the block store in a file, give every number of one panel: the
// panels only bound the memory.
TEST(QualityMetricsTest, PanelsOfColumnsGiveTheNumbersOfTheWholeImage)
{
    testing::FakeHost host;
    const Scene g = RandomScene(230, 100, 4, 11);  // 8 block columns, the last partial
    const Scene f = Perturbed(g, 12);
    Streams f1(f), g1(g), f2(f), g2(g);
    ReducedMetrics whole, panels;
    std::vector<std::vector<double>> wholeMap, panelMap;
    ASSERT_TRUE(ComputeReducedMetrics(
        f1.pointers, g1.pointers, 4, [] { return true; }, host, whole,
        [&](const std::vector<double>& row) { return wholeMap.push_back(row), true; }));
    ASSERT_TRUE(ComputeReducedMetrics(
        f2.pointers, g2.pointers, 4, [] { return true; }, host, panels,
        [&](const std::vector<double>& row) { return panelMap.push_back(row), true; },
        34 * 8 * 32 * 8 * 3));  // three block columns a panel
    EXPECT_EQ(panels.ergas, whole.ergas);
    EXPECT_EQ(panels.sam, whole.sam);
    EXPECT_EQ(panels.scc, whole.scc);
    EXPECT_EQ(panels.q2n, whole.q2n);
    EXPECT_EQ(panels.qBands, whole.qBands);
    EXPECT_EQ(panelMap, wholeMap);
    EXPECT_EQ(wholeMap.size(), 4u);

    for (int ratio : {2, 4, 8}) {
        const Scene ms = RandomScene(240 / ratio, 100 / ratio, 3, 13);
        const Scene pan = RandomScene(240, 100, 1, 14);
        Scene fused = RandomScene(240, 100, 3, 15);
        FullMetrics fullWhole, fullPanels;
        Streams a1(fused), m1(ms), p1(pan), q1(pan), a2(fused), m2(ms), p2(pan), q2(pan);
        ASSERT_TRUE(ComputeFullMetrics(
            a1.pointers, m1.pointers, *p1.pointers[0], *q1.pointers[0], ratio, 0.15,
            [] { return true; }, host, fullWhole));
        ASSERT_TRUE(ComputeFullMetrics(
            a2.pointers, m2.pointers, *p2.pointers[0], *q2.pointers[0], ratio, 0.15,
            [] { return true; }, host, fullPanels, {}, 32 * 8 * 32 * 8));  // a block column each
        EXPECT_EQ(fullPanels.dLambda, fullWhole.dLambda) << "ratio " << ratio;
        EXPECT_EQ(fullPanels.dS, fullWhole.dS) << "ratio " << ratio;
        EXPECT_EQ(fullPanels.blocksUsed, 3 * 7);
    }
    EXPECT_THAT(host.Messages(), ::testing::ElementsAre());
}

// No data on the left 32 columns: every metric is that of the image without them, and the
// blocks there are counted as left out.
TEST(QualityMetricsTest, NoDataTakesNoPartInAnyMetric)
{
    testing::FakeHost host;
    const Scene g = RandomScene(96, 64, 3, 21);
    const Scene f = Perturbed(g, 22);
    Scene gHoled = g, fHoled = f;
    Scene gCut{64, 64, {}}, fCut{64, 64, {}};
    for (int k = 0; k < 3; ++k) {
        Image gc, fc;
        for (std::int64_t y = 0; y < 64; ++y) {
            for (std::int64_t x = 0; x < 96; ++x) {
                if (x < 32) {
                    // No data in one input's band is no data in every band of every input.
                    (k == 1 ? gHoled : fHoled).bands[k][y * 96 + x] = std::nan("");
                    continue;
                }
                gc.push_back(g.bands[k][y * 96 + x]);
                fc.push_back(f.bands[k][y * 96 + x]);
            }
        }
        gCut.bands.push_back(gc);
        fCut.bands.push_back(fc);
    }
    Streams fh(fHoled), gh(gHoled), fc(fCut), gc(gCut);
    ReducedMetrics holed, cut;
    ASSERT_TRUE(ComputeReducedMetrics(
        fh.pointers, gh.pointers, 4, [] { return true; }, host, holed));
    ASSERT_TRUE(ComputeReducedMetrics(
        fc.pointers, gc.pointers, 4, [] { return true; }, host, cut));
    EXPECT_EQ(holed.ergas, cut.ergas);
    EXPECT_EQ(holed.sam, cut.sam);
    EXPECT_EQ(holed.scc, cut.scc);
    EXPECT_EQ(holed.q2n, cut.q2n);
    EXPECT_EQ(holed.qBands, cut.qBands);
    EXPECT_EQ(holed.blocksUsed, 4);
    EXPECT_EQ(holed.blocksTotal, 6);
}

}  // namespace
}  // namespace lumesta
