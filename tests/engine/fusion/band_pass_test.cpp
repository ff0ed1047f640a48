#include "fusion/band_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fusion/optimisation/etm_arithmetic.h"
#include "fusion/optimisation/resampling.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

template <typename T>
std::vector<T> RandomBand(std::int64_t count, int low, int high, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(low, high);
    std::vector<T> band(static_cast<std::size_t>(count));
    for (T& sample : band) sample = static_cast<T>(value(random));
    return band;
}

// Writes the band to a file, walks it and reads the result back.
template <typename T>
std::vector<T> Walk(const std::vector<T>& band, const BandPassSpec<T>& spec,
                    BandPassFigures<T>& figures)
{
    testing::TempDir dir;
    testing::FakeHost host;
    RawFile file;
    EXPECT_TRUE(file.CreateForReadWrite(dir.File("band.raw")));
    const auto bytes = static_cast<std::int64_t>(band.size() * sizeof(T));
    EXPECT_TRUE(file.WriteAt(0, bytes, band.data()));
    EXPECT_TRUE(RunBandPass(file, spec, figures, host));
    std::vector<T> result(band.size());
    EXPECT_EQ(file.ReadAt(0, bytes, result.data()), bytes);
    EXPECT_TRUE(host.Messages().empty());
    return result;
}

// A 16-bit band of 1100 × 2003 samples takes two strips; the walk gives the bytes, cutoffs and
// range of the whole-band steps (borders, filter, clip), with and without a filter, and for
// bands too small to have borders.
TEST(BandPassTest, SixteenBitWalkEqualsTheWholeBandSteps)
{
    testing::FakeHost host;
    for (const auto& [width, height, filtered] :
         std::vector<std::tuple<int, int, bool>>{{1100, 2003, true}, {1100, 2003, false},
                                                 {7, 4, true}, {600, 2, true}}) {
        const std::vector<std::int16_t> band =
            RandomBand<std::int16_t>(std::int64_t{width} * height, -200, 2300, width + height);
        BandPassSpec<std::int16_t> spec;
        spec.width = width;
        spec.height = height;
        spec.borderDepth = 2;
        if (filtered) spec.filters = {Kernel16::Sharpen};
        spec.clip11Bit = true;
        spec.histogram = HistogramPoint::AfterFilters;
        spec.minMax = true;
        BandPassFigures<std::int16_t> figures;
        const std::vector<std::int16_t> walked = Walk(band, spec, figures);

        std::vector<std::int16_t> whole = band;
        ReplicateBorders(height, width, whole.data());
        if (filtered) FilterBand(height, width, whole.data(), Kernel16::Sharpen, host);
        ClipBand(static_cast<std::int64_t>(whole.size()), whole.data());
        EXPECT_EQ(walked, whole) << width << " x " << height;
        const StretchCutoffs expected =
            ComputeStretchCutoffs16(static_cast<std::int64_t>(whole.size()), whole.data(), 2, 3);
        ASSERT_TRUE(figures.histogram.has_value());
        EXPECT_EQ(figures.histogram->Cutoffs(2, 3).low, expected.low);
        EXPECT_EQ(figures.histogram->Cutoffs(2, 3).high, expected.high);
        EXPECT_EQ(figures.minimum, *std::min_element(whole.begin(), whole.end()));
        EXPECT_EQ(figures.maximum, *std::max_element(whole.begin(), whole.end()));
    }
}

// The Landsat tool chains two filters after one-sample borders and takes its histogram before
// them; a 4500 × 1900 band takes two strips.
TEST(BandPassTest, EightBitChainedFiltersEqualTheWholeBandSteps)
{
    testing::FakeHost host;
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{4500, 1900}, {3, 5}}) {
        const std::vector<std::uint8_t> band =
            RandomBand<std::uint8_t>(std::int64_t{width} * height, 0, 255, width);
        BandPassSpec<std::uint8_t> spec;
        spec.width = width;
        spec.height = height;
        spec.borderDepth = 1;
        spec.filters = {Kernel8::Smooth, Kernel8::Sharpen};
        spec.histogram = HistogramPoint::BeforeFilters;
        BandPassFigures<std::uint8_t> figures;
        const std::vector<std::uint8_t> walked = Walk(band, spec, figures);

        std::vector<std::uint8_t> whole = band;
        ReplicateBorders2(height, width, whole.data());
        const StretchCutoffs expected =
            ComputeStretchCutoffs8(static_cast<std::int64_t>(whole.size()), whole.data(), 1, 1);
        FilterBand8(height, width, whole.data(), Kernel8::Smooth, host);
        FilterBand8(height, width, whole.data(), Kernel8::Sharpen, host);
        EXPECT_EQ(walked, whole) << width << " x " << height;
        ASSERT_TRUE(figures.histogram.has_value());
        EXPECT_EQ(figures.histogram->Cutoffs(1, 1).low, expected.low);
        EXPECT_EQ(figures.histogram->Cutoffs(1, 1).high, expected.high);
    }
}

}  // namespace
}  // namespace lumesta
