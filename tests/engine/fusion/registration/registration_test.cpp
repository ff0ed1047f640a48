// Registration: known shifts found on generated scenes (whole and fractional pan pixels,
// geometric, independent of any decimation's phase), the Wald protocol's own offset, and the
// estimates that must not be applied with their reasons. (Real scenes: the end-to-end scripts.)

#include "fusion/registration/registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fusion/registration/register_choice.h"
#include "fusion/registration/run_registration.h"
#include "imaging/mtf_filter.h"

namespace lumesta {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Bands held in memory (reads outside the image give 0), optionally with a mask of their own
// (as GDAL gives one) or failing every read.
class BufferSource : public RasterSource {
public:
    BufferSource(int width, int height, std::vector<std::vector<float>> bands)
        : m_bands(std::move(bands))
    {
        m_description.width = width;
        m_description.height = height;
        m_description.bands = static_cast<int>(m_bands.size());
        m_description.availableRows = height;
    }
    void DeclareNoData(double value) { m_description.noData = value; }
    void HoldMask(std::vector<std::uint8_t> mask)
    {
        m_mask = std::move(mask);
        m_description.maskBand = true;
    }
    void FailReads() { m_fail = true; }

    bool ReadMaskWindow(int band, const SampleWindow& w, std::uint8_t* out) override
    {
        if (m_mask.empty()) return RasterSource::ReadMaskWindow(band, w, out);
        for (int j = 0; j < w.rows; ++j) {
            for (int i = 0; i < w.columns; ++i) {
                const int x = w.x0 + i * w.step;
                const int y = w.y0 + j * w.step;
                const bool inside = x >= 0 && y >= 0 && x < m_description.width &&
                                    y < m_description.height;
                out[j * w.columns + i] =
                    inside ? m_mask[static_cast<std::size_t>(y) * m_description.width + x] : 0;
            }
        }
        return true;
    }
    bool ReadWindow(int band, const SampleWindow& w, float* out, const std::atomic<bool>*) override
    {
        if (m_fail) {
            m_readError = "Error reading buffer: the disk went away.";
            return false;
        }
        for (int j = 0; j < w.rows; ++j) {
            for (int i = 0; i < w.columns; ++i) {
                out[j * w.columns + i] = Pixel(band, w.x0 + i * w.step, w.y0 + j * w.step);
            }
        }
        return true;
    }
    std::optional<double> ReadValue(int band, int x, int y) override { return Pixel(band, x, y); }

private:
    std::vector<std::uint8_t> m_mask;
    bool m_fail = false;
    float Pixel(int band, int x, int y) const
    {
        const RasterDescription& d = m_description;
        if (x < 0 || y < 0 || x >= d.width || y >= d.height) return 0.0f;
        return m_bands[band][static_cast<std::size_t>(y) * d.width + x];
    }
    std::vector<std::vector<float>> m_bands;
};

// A ground of Gaussian blobs whose pixels are their exact areal means, so that an image of it
// can be made at any pixel size and any fractional offset.
struct Blob {
    double x = 0.0;
    double y = 0.0;
    double size = 0.0;
    std::vector<double> amplitude;  // per band; the pan's last
};

std::vector<Blob> RandomBlobs(int width, int height, int count, int bands, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Blob> blobs(static_cast<std::size_t>(count));
    for (Blob& blob : blobs) {
        blob.x = unit(random) * width;
        blob.y = unit(random) * height;
        blob.size = 1.0 + 5.0 * unit(random);
        double pan = 0.0;
        for (int band = 0; band < bands; ++band) {
            blob.amplitude.push_back((unit(random) - 0.3) * 600.0);
            pan += blob.amplitude.back() / bands;
        }
        blob.amplitude.push_back(pan);
    }
    return blobs;
}

// The share of a unit Gaussian centred at c with deviation s that lies in [a, b].
double Share(double a, double b, double c, double s)
{
    return 0.5 *
           (std::erf((b - c) / (std::sqrt(2.0) * s)) - std::erf((a - c) / (std::sqrt(2.0) * s)));
}

// Band `band` of the ground on a grid of width × height pixels of `pixel` pan pixels each, whose
// pixel (0, 0) covers pan positions [left, left + pixel) × [top, top + pixel) (pan pixel i spans
// [i − 0.5, i + 0.5)).
std::vector<float> Render(const std::vector<Blob>& blobs, int band, int width, int height,
                          double pixel, double left, double top)
{
    std::vector<double> image(static_cast<std::size_t>(width) * height, 500.0 * pixel * pixel);
    for (const Blob& blob : blobs) {
        const double reach = 6.0 * blob.size + pixel;
        const int x0 = std::max(0, static_cast<int>(std::floor((blob.x - reach - left) / pixel)));
        const int x1 =
            std::min(width, static_cast<int>(std::ceil((blob.x + reach - left) / pixel)));
        const int y0 = std::max(0, static_cast<int>(std::floor((blob.y - reach - top) / pixel)));
        const int y1 =
            std::min(height, static_cast<int>(std::ceil((blob.y + reach - top) / pixel)));
        const double mass = blob.amplitude[band] * 2.0 * kPi * blob.size * blob.size;
        for (int y = y0; y < y1; ++y) {
            const double sy = Share(top + y * pixel, top + (y + 1) * pixel, blob.y, blob.size);
            for (int x = x0; x < x1; ++x) {
                const double sx =
                    Share(left + x * pixel, left + (x + 1) * pixel, blob.x, blob.size);
                image[static_cast<std::size_t>(y) * width + x] += mass * sx * sy;
            }
        }
    }
    std::vector<float> out(image.size());
    for (std::size_t i = 0; i < image.size(); ++i) {
        out[i] = static_cast<float>(std::round(image[i] / (pixel * pixel)));
    }
    return out;
}

// A generated pair: a pan of width × height and a four-band MS at ratio whose content lies
// (dx, dy) pan pixels from the aligned place.
struct Pair {
    std::unique_ptr<RasterSource> pan;
    std::unique_ptr<RasterSource> ms;
};

Pair GeneratedPair(int width, int height, int ratio, double dx, double dy, unsigned seed = 7)
{
    const std::vector<Blob> blobs = RandomBlobs(width, height, width * height / 300, 4, seed);
    Pair pair;
    pair.pan = std::make_unique<BufferSource>(
        width, height,
        std::vector<std::vector<float>>{Render(blobs, 4, width, height, 1.0, -0.5, -0.5)});
    std::vector<std::vector<float>> bands;
    for (int band = 0; band < 4; ++band) {
        bands.push_back(
            Render(blobs, band, width / ratio, height / ratio, ratio, dx - 0.5, dy - 0.5));
    }
    pair.ms = std::make_unique<BufferSource>(width / ratio, height / ratio, std::move(bands));
    return pair;
}

// One band degraded as the Wald protocol degrades it: the MTF Gaussian, then every ratio-th
// sample from ratio / 2, rounded.
std::vector<float> WaldDegraded(RasterSource& source, int band, double gain, int ratio)
{
    const RasterDescription& d = source.Description();
    std::vector<float> samples(static_cast<std::size_t>(d.width) * d.height);
    source.ReadWindow(band, SampleWindow{0, 0, d.width, d.height, 1}, samples.data(), nullptr);
    BufferStream stream(d.width, d.height, std::vector<double>(samples.begin(), samples.end()));
    MtfFilterStream filtered(stream, MtfGaussian(gain, ratio), ratio, ratio / 2);
    const std::vector<double> rows = ReadAllRows(filtered);
    std::vector<float> out(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        out[i] = static_cast<float>(std::nearbyint(rows[i]));
    return out;
}

std::vector<float> Noise(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(500.0, 40.0);
    std::vector<float> out(static_cast<std::size_t>(width) * height);
    for (float& v : out) v = static_cast<float>(std::round(normal(random)));
    return out;
}

// The estimate of sources that read without failing.
std::optional<RegistrationEstimate> Estimated(const RegistrationInputs& inputs)
{
    std::string error;
    auto estimate = EstimateRegistration(inputs, error);
    EXPECT_EQ(error, "");
    return estimate;
}

std::vector<SourceBand> BandsOf(RasterSource& source)
{
    std::vector<SourceBand> bands;
    for (int band = 0; band < source.Description().bands; ++band) bands.push_back({&source, band});
    return bands;
}

RegistrationEstimate Estimate(RasterSource& pan, RasterSource& ms, int grid = 0)
{
    RegistrationInputs inputs;
    inputs.pan = {&pan, 0};
    inputs.ms = BandsOf(ms);
    inputs.grid = grid;
    const auto estimate = Estimated(inputs);
    EXPECT_TRUE(estimate.has_value());
    return estimate.value_or(RegistrationEstimate{});
}

// The estimate is the offset beyond the placement (georeferencing may put the MS's origin at a
// fraction of a pan pixel, or outside the pan).
TEST(RegistrationTest, FindsFractionalShiftsOfGeneratedScenesAtEveryRatioAndPlacement)
{
    struct Case {
        int ratio;
        double dx;
        double dy;
        double placementX = 0.0;
        double placementY = 0.0;
    };
    for (const Case& c :
         {Case{4, 0.0, 0.0}, Case{4, 0.3, -1.7}, Case{4, -0.45, 2.8}, Case{2, 0.25, -0.6},
          Case{8, -1.3, 0.5}, Case{4, 0.4, -0.3, -6.5, 10.25}}) {
        Pair pair = GeneratedPair(512, 384, c.ratio, c.placementX + c.dx, c.placementY + c.dy);
        RegistrationInputs inputs;
        inputs.pan = {pair.pan.get(), 0};
        inputs.ms = BandsOf(*pair.ms);
        inputs.ratio = c.ratio;
        inputs.placementX = c.placementX;
        inputs.placementY = c.placementY;
        const auto estimate = Estimated(inputs);
        ASSERT_TRUE(estimate.has_value());
        SCOPED_TRACE("ratio " + std::to_string(c.ratio) + ", shift " + std::to_string(c.dx) + ", " +
                     std::to_string(c.dy) + " from " + std::to_string(c.placementX) + ", " +
                     std::to_string(c.placementY));
        EXPECT_TRUE(estimate->applicable) << estimate->reason;
        EXPECT_NEAR(estimate->dx, c.dx, 0.05);
        EXPECT_NEAR(estimate->dy, c.dy, 0.05);
        EXPECT_GT(estimate->confidence, 0.5);
    }
}

// The Wald protocol keeps sample ratio / 2 of each block of both images, which moves the reduced
// MS (ratio / 2 − (ratio − 1) / 2) · (1 − 1 / ratio) = 0.375 reduced pan pixel at ratio 4, on top
// of the full-scale offset / ratio.
TEST(RegistrationTest, AWaldDegradedPairMeasuresThreeEighthsOfAReducedPanPixel)
{
    for (const auto& [dx, dy] : std::vector<std::pair<double, double>>{{0.0, 0.0}, {0.3, -1.7}}) {
        Pair pair = GeneratedPair(512, 384, 4, dx, dy);
        BufferSource pan(128, 96, {WaldDegraded(*pair.pan, 0, 0.15, 4)});
        std::vector<std::vector<float>> bands;
        for (int band = 0; band < 4; ++band) bands.push_back(WaldDegraded(*pair.ms, band, 0.3, 4));
        BufferSource ms(32, 24, std::move(bands));
        const RegistrationEstimate estimate = Estimate(pan, ms);
        EXPECT_TRUE(estimate.applicable) << estimate.reason;
        EXPECT_NEAR(estimate.dx, 0.375 + dx / 4, 0.03);
        EXPECT_NEAR(estimate.dy, 0.375 + dy / 4, 0.03);
    }
}

// (A featureless scene and its reason: the end-to-end scripts.)
TEST(RegistrationTest, ScenesThatShowNoShiftAreNotAppliedWithTheReason)
{
    BufferSource noisePan(512, 384, {Noise(512, 384, 1)});
    BufferSource noiseMs(128, 96, {Noise(128, 96, 2), Noise(128, 96, 3), Noise(128, 96, 4)});
    RegistrationEstimate estimate = Estimate(noisePan, noiseMs);
    EXPECT_FALSE(estimate.applicable);
    EXPECT_EQ(estimate.reason, "low confidence (" + DecimalText(estimate.confidence) + ")");
    EXPECT_LT(estimate.confidence, 0.25);

    // Parallel stripes: any shift along them fits as well.
    std::vector<float> stripes(512 * 384);
    std::vector<float> blocks(128 * 96, 0.0f);
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) {
            stripes[y * 512 + x] =
                static_cast<float>(500 + 200 * std::sin(2 * kPi * (x + 0.5 * y) / 32));
            blocks[(y / 4) * 128 + x / 4] += stripes[y * 512 + x] / 16;
        }
    }
    BufferSource stripePan(512, 384, {stripes});
    BufferSource stripeMs(128, 96, {blocks, blocks, blocks});
    estimate = Estimate(stripePan, stripeMs);
    EXPECT_FALSE(estimate.applicable);
    EXPECT_LT(estimate.confidence, 0.25);

    Pair tiny = GeneratedPair(64, 64, 4, 0.0, 0.0);
    estimate = Estimate(*tiny.pan, *tiny.ms, 2);
    EXPECT_FALSE(estimate.applicable);
    EXPECT_EQ(estimate.reason, "the MS and the pan overlap in less than 16 x 16 MS pixels");
    EXPECT_EQ(estimate.blocks.size(), 4u);
}

TEST(RegistrationTest, AWarpIsNotAppliedAndItsBlocksShowIt)
{
    Pair right = GeneratedPair(512, 384, 4, 1.0, 0.0);
    Pair left = GeneratedPair(512, 384, 4, -1.0, 0.0);
    std::vector<std::vector<float>> bands;
    for (int band = 0; band < 4; ++band) {
        std::vector<float> a(128 * 96);
        std::vector<float> b(128 * 96);
        right.ms->ReadWindow(band, {0, 0, 128, 96, 1}, a.data(), nullptr);
        left.ms->ReadWindow(band, {0, 0, 128, 96, 1}, b.data(), nullptr);
        for (int i = 0; i < 128 * 96; ++i) {
            if (i % 128 >= 64) a[i] = b[i];
        }
        bands.push_back(a);
    }
    BufferSource warped(128, 96, std::move(bands));
    const RegistrationEstimate estimate = Estimate(*right.pan, warped, 2);
    EXPECT_FALSE(estimate.applicable);
    EXPECT_NE(estimate.reason.find("(a warp, not a shift)"), std::string::npos) << estimate.reason;
    ASSERT_EQ(estimate.blocks.size(), 4u);
    for (const BlockOffset& block : estimate.blocks) {
        SCOPED_TRACE("block " + std::to_string(block.row) + ", " + std::to_string(block.column));
        EXPECT_EQ(block.row, (&block - estimate.blocks.data()) / 2);
        EXPECT_NEAR(block.dx, block.column == 0 ? 1.0 : -1.0, 0.05);
        EXPECT_NEAR(block.dy, 0.0, 0.05);
        EXPECT_GT(block.confidence, 0.5);
    }
}

// A fill frame lies where the placement puts it, not where the content is: marked as no data by
// a value given, by the file's own no-data value or by a mask of the file's own, it leaves the
// estimate alone.
TEST(RegistrationTest, NoDataTakesNoPartInTheEstimate)
{
    Pair pair = GeneratedPair(512, 384, 4, 0.6, -0.4);
    // The fill: the left columns and the bottom rows, 0 or (under a mask) anything.
    const auto frame = [](int width, int height, int left, int bottom) {
        std::vector<std::uint8_t> valid(static_cast<std::size_t>(width) * height, 1);
        for (int i = 0; i < width * height; ++i) valid[i] = i % width >= left && i / width < bottom;
        return valid;
    };
    const auto filled = [](RasterSource& source, int band, const std::vector<std::uint8_t>& valid,
                           bool garbage) {
        const RasterDescription& d = source.Description();
        std::vector<float> samples(valid.size());
        source.ReadWindow(band, {0, 0, d.width, d.height, 1}, samples.data(), nullptr);
        std::mt19937 random(band);
        for (std::size_t i = 0; i < valid.size(); ++i) {
            if (!valid[i]) samples[i] = garbage ? static_cast<float>(random() % 2000) : 0.0f;
        }
        return samples;
    };
    const std::vector<std::uint8_t> panValid = frame(512, 384, 160, 300);
    const std::vector<std::uint8_t> msValid = frame(128, 96, 40, 75);
    enum class Marked { Given, FilesValue, FilesMask, Not };
    for (const Marked marked : {Marked::Given, Marked::FilesValue, Marked::FilesMask, Marked::Not}) {
        const bool garbage = marked == Marked::FilesMask;
        BufferSource pan(512, 384, {filled(*pair.pan, 0, panValid, garbage)});
        std::vector<std::vector<float>> bands;
        for (int band = 0; band < 4; ++band) bands.push_back(filled(*pair.ms, band, msValid, garbage));
        BufferSource ms(128, 96, std::move(bands));
        RegistrationInputs inputs;
        inputs.pan = {&pan, 0};
        inputs.ms = BandsOf(ms);
        if (marked == Marked::Given) inputs.panNoData = inputs.msNoData = 0.0;
        if (marked == Marked::FilesValue) {
            pan.DeclareNoData(0.0);
            ms.DeclareNoData(0.0);
        }
        if (marked == Marked::FilesMask) {
            pan.HoldMask(panValid);
            ms.HoldMask(msValid);
        }
        inputs.panOwnMask = inputs.msOwnMask = marked != Marked::Given;
        const auto estimate = Estimated(inputs);
        ASSERT_TRUE(estimate.has_value());
        SCOPED_TRACE("marked " + std::to_string(static_cast<int>(marked)));
        if (marked == Marked::Not) {
            EXPECT_GT(std::hypot(estimate->dx - 0.6, estimate->dy + 0.4), 0.1);
            continue;
        }
        EXPECT_TRUE(estimate->applicable) << estimate->reason;
        EXPECT_NEAR(estimate->dx, 0.6, 0.05);
        EXPECT_NEAR(estimate->dy, -0.4, 0.05);
    }
}

// A source that cannot be read stops the estimate with the reader's sentence, also through a
// stack of single-band files.
TEST(RegistrationTest, AReadFailureStopsTheEstimateWithTheReadersSentence)
{
    for (const bool panFails : {true, false}) {
        std::vector<std::unique_ptr<RasterSource>> parts;
        for (int band = 0; band < 3; ++band) {
            auto part = std::make_unique<BufferSource>(
                64, 64, std::vector<std::vector<float>>{Noise(64, 64, band)});
            if (!panFails && band == 2) part->FailReads();
            parts.push_back(std::move(part));
        }
        const auto ms = StackSources(std::move(parts), "MS");
        BufferSource pan(256, 256, {Noise(256, 256, 9)});
        if (panFails) pan.FailReads();
        RegistrationInputs inputs;
        inputs.pan = {&pan, 0};
        inputs.ms = BandsOf(*ms);
        std::string error;
        EXPECT_FALSE(EstimateRegistration(inputs, error).has_value());
        EXPECT_EQ(error, "Error reading buffer: the disk went away.");
    }
}

TEST(RegistrationTest, OnlyApplicableEstimatesBeyondAHundredthAreApplied)
{
    RegistrationEstimate estimate{false, "", 0.05, -0.06, 0.0, {}};
    EXPECT_EQ(AppliedOffset(estimate).dy, 0.0);
    estimate.applicable = true;
    EXPECT_EQ(AppliedOffset(estimate).dx, 0.0);
    EXPECT_EQ(AppliedOffset(estimate).dy, -0.06);
    EXPECT_EQ(DecimalText(-0.004) + DecimalText(-1.256) + DecimalText(12.5), "0.00-1.2612.50");
}

TEST(RegistrationTest, RegisterValuesAreAutoOffOrTwoNumbers)
{
    EXPECT_EQ(ParseRegisterChoice("auto")->mode, RegisterMode::Auto);
    EXPECT_EQ(ParseRegisterChoice("off")->mode, RegisterMode::Off);
    const auto given = ParseRegisterChoice("-1.5,0.25");
    ASSERT_TRUE(given.has_value());
    EXPECT_EQ(given->mode, RegisterMode::Given);
    EXPECT_EQ(given->dx, -1.5);
    EXPECT_EQ(given->dy, 0.25);
    EXPECT_EQ(ParseRegisterChoice("+2,+0")->dx, 2.0);
    for (const char* wrong : {"", "Auto", "1", "1,", ",2", "1,2,3", "1;2", " 1,2", "1,2 ", "a,b",
                              "1,5e999", "nan,0", "0,inf", "1,0x10", "+-1,0", "+,0"}) {
        EXPECT_FALSE(ParseRegisterChoice(wrong).has_value()) << wrong;
    }
}

// A run places the MS so that its pixels' centres land on their blocks' centres on the
// upsampling's grid (sample j on pan pixel ratio · j + ratio / 2): at the estimate or the offset
// given, beyond the georeferenced placement; off keeps the placement as it is.
TEST(RegistrationTest, RunsPlaceTheMsOnTheUpsamplingGrid)
{
    Pair pair = GeneratedPair(512, 384, 4, 0.3, -1.7);
    InjectionInputs inputs;
    inputs.pan = {std::shared_ptr<RasterSource>(std::move(pair.pan)), 0};
    std::shared_ptr<RasterSource> ms(std::move(pair.ms));
    for (int band = 0; band < 4; ++band) inputs.ms.push_back({ms, band});
    inputs.msGains = {0.3, 0.3, 0.3, 0.3};
    const auto never = [] { return false; };
    RunRegistration run = RegisterRun(inputs, RegisterChoice{}, 0.0, 0.0, never);
    EXPECT_NEAR(run.shiftX, (0.3 - 0.5) / 4, 0.05 / 4);
    EXPECT_NEAR(run.shiftY, (-1.7 - 0.5) / 4, 0.05 / 4);
    EXPECT_THAT(run.reportLine,
                ::testing::MatchesRegex("MS offset on the pan:\t0\\.(29|30|31), -1\\.(69|70|71) "
                                      "pan pixels \\(estimated\\)"));
    for (const auto& [ratio, aligned] : {std::pair{2, -0.25}, {8, -0.0625}}) {
        inputs.ratio = ratio;
        run = RegisterRun(inputs, RegisterChoice{RegisterMode::Given, 2.0, -0.5}, -8.0, 0.0, never);
        EXPECT_DOUBLE_EQ(run.shiftX, aligned + (2.0 - 8.0) / ratio) << ratio;
        EXPECT_DOUBLE_EQ(run.shiftY, aligned - 0.5 / ratio) << ratio;
        run = RegisterRun(inputs, RegisterChoice{RegisterMode::Off, 2.0, -0.5}, -8.0, 0.0, never);
        EXPECT_DOUBLE_EQ(run.shiftX, -8.0 / ratio) << ratio;
        EXPECT_EQ(run.shiftY, 0.0);
        EXPECT_EQ(run.reportLine, "");
    }
}

TEST(RegistrationTest, ACancelledEstimateGivesNothing)
{
    Pair pair = GeneratedPair(256, 256, 4, 0.0, 0.0);
    RegistrationInputs inputs;
    inputs.pan = {pair.pan.get(), 0};
    inputs.ms = BandsOf(*pair.ms);
    inputs.cancelled = [] { return true; };
    EXPECT_FALSE(Estimated(inputs).has_value());
}

}  // namespace
}  // namespace lumesta
