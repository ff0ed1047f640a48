// The vector loops of the detail-injection fusion against plain scalar sums written the obvious
// way: every result must be the same double (or 16-bit sample), bit for bit, at every width and
// with vectors of every lane count the processor has, since the fused bands must not depend on
// the processor or on where a row's vector part ends.

#include "fusion/injection/injection_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "core/wide_lanes.h"
#include "fusion/injection/upsample_weights.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"

namespace lumesta {
namespace {

const std::int64_t kWidths[] = {1, 3, 7, 8, 9, 15, 16, 17, 40, 41, 83, 131};

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<std::int16_t> RandomSamples(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<std::int16_t> samples(count);
    for (auto& sample : samples) sample = static_cast<std::int16_t>(value(random));
    return samples;
}

// Samples of every 8- and 16-bit type as the sources deliver them: floats.
std::vector<float> RandomFloatSamples(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-32768, 65535);
    std::vector<float> samples(count);
    for (auto& sample : samples) sample = static_cast<float>(value(random));
    return samples;
}

// Each test runs with vectors of at most 8, 4 and 2 lanes (as far as the processor has them).
class InjectionKernelsTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { LimitWideLanes(GetParam()); }
    void TearDown() override { LimitWideLanes(8); }
};

INSTANTIATE_TEST_SUITE_P(Lanes, InjectionKernelsTest, ::testing::Values(8, 4, 2),
                         [](const ::testing::TestParamInfo<int>& lanes) {
                             return std::to_string(lanes.param);
                         });

TEST_P(InjectionKernelsTest, SumRowsConvertsEverySampleExactlyAndSumsRowsInOrder)
{
    std::vector<float> all(65536 + 32768);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<float>(i) - 32768;
    std::vector<double> line(all.size());
    const double one = 1.0;
    SumRows(&one, 1, all.data(), 0, static_cast<std::int64_t>(all.size()), line.data());
    for (std::size_t i = 0; i < all.size(); ++i) ASSERT_TRUE(SameBits(line[i], all[i])) << all[i];

    const double w[5] = {-0.1, 0.7, 0.55, -0.2, 0.05};
    for (std::int64_t width : kWidths) {
        const auto source = RandomFloatSamples(static_cast<std::size_t>(5 * width), 3);
        std::vector<double> sums(static_cast<std::size_t>(width));
        SumRows(w, 5, source.data(), width, width, sums.data());
        for (std::int64_t i = 0; i < width; ++i) {
            double expected = w[0] * source[i];
            for (int j = 1; j < 5; ++j) expected += w[j] * source[j * width + i];
            ASSERT_TRUE(SameBits(sums[i], expected)) << "width " << width << " at " << i;
        }
    }
}

TEST_P(InjectionKernelsTest, UpsamplingAlongARowEqualsTheGeneralSumAtEveryRatio)
{
    for (int ratio : {2, 4, 8}) {
        for (std::int64_t coarse : {3, 29, 30, 31, 32, 33, 34, 35, 36, 37, 61, 64, 257}) {
            const AxisWeights weights(coarse, ratio);
            std::mt19937 random(static_cast<unsigned>(coarse * ratio));
            std::uniform_real_distribution<double> value(-100.0, 3000.0);
            std::vector<double> in(static_cast<std::size_t>(coarse));
            for (double& x : in) x = value(random);
            std::vector<double> out(static_cast<std::size_t>(weights.Fine()));
            weights.Apply(in.data(), out.data());
            for (std::int64_t n = 0; n < weights.Fine(); ++n) {
                double expected = 0;
                for (int j = 0; j < weights.Count(n); ++j) {
                    expected += weights.Weights(n)[j] * in[weights.First(n) + j];
                }
                ASSERT_TRUE(SameBits(out[n], expected)) << ratio << " " << coarse << " " << n;
            }
        }
    }
}

// The degradation row as first written: columns summed from 0 in tap order, then the taps
// along the row with clamped indices.
std::vector<double> DegradeRowDirect(const MtfTaps& taps, const std::vector<const double*>& rows,
                                     std::int64_t width, int step, int offset,
                                     std::int64_t outWidth)
{
    std::vector<double> column(static_cast<std::size_t>(width));
    for (std::int64_t x = 0; x < width; ++x) {
        double sum = 0;
        for (int k = 0; k < kMtfTaps; ++k) sum += taps[k] * rows[k][x];
        column[x] = sum;
    }
    std::vector<double> out(static_cast<std::size_t>(outWidth));
    for (std::int64_t j = 0; j < outWidth; ++j) {
        double sum = 0;
        for (int k = 0; k < kMtfTaps; ++k) {
            sum += taps[k] * column[ClampIndex(offset + j * step - kMtfHalo + k, width)];
        }
        out[j] = sum;
    }
    return out;
}

TEST_P(InjectionKernelsTest, PanDegradationRowsEqualTheDirectSumsFromSamplesFloatsOrDoubles)
{
    const MtfTaps taps = MtfGaussian(0.15, 4);
    for (std::int64_t width : {5L, 7L, 8L, 37L, 40L, 41L, 64L, 83L, 101L, 200L, 1003L}) {
        const auto samples = RandomSamples(static_cast<std::size_t>(kMtfTaps * width), 9);
        const std::vector<double> values(samples.begin(), samples.end());
        const std::vector<float> floats(samples.begin(), samples.end());
        std::vector<const std::int16_t*> sampleRows;
        std::vector<const double*> valueRows;
        std::vector<const float*> floatRows;
        for (int k = 0; k < kMtfTaps; ++k) {
            sampleRows.push_back(samples.data() + k * width);
            valueRows.push_back(values.data() + k * width);
            floatRows.push_back(floats.data() + k * width);
        }
        for (const auto& [step, offset] : {std::pair{4, 2}, std::pair{2, 1}, std::pair{1, 0}}) {
            const std::int64_t outWidth = (width - offset + step - 1) / step;
            const auto expected = DegradeRowDirect(taps, valueRows, width, step, offset, outWidth);
            std::vector<double> scratch(static_cast<std::size_t>(width));
            std::vector<double> fromSamples(static_cast<std::size_t>(outWidth));
            std::vector<double> fromValues(static_cast<std::size_t>(outWidth));
            std::vector<double> fromFloats(static_cast<std::size_t>(outWidth));
            FilterDecimateRow(taps, sampleRows.data(), width, step, offset, outWidth,
                              scratch.data(), fromSamples.data());
            FilterDecimateRow(taps, floatRows.data(), width, step, offset, outWidth, scratch.data(),
                              fromFloats.data());
            FilterDecimateRow(taps, valueRows.data(), width, step, offset, outWidth, scratch.data(),
                              fromValues.data());
            // Two rows at once: this window and the same rows in reverse order, whose sums
            // differ from the direct ones unless each keeps its own window's order.
            std::vector<const float*> reversed(floatRows.rbegin(), floatRows.rend());
            const auto expectedReversed = DegradeRowDirect(
                taps, std::vector<const double*>(valueRows.rbegin(), valueRows.rend()), width,
                step, offset, outWidth);
            std::vector<double> scratch2(static_cast<std::size_t>(2 * width));
            std::vector<double> group(static_cast<std::size_t>(2 * outWidth));
            const float* const* windows[2] = {floatRows.data(), reversed.data()};
            double* scratches[2] = {scratch2.data(), scratch2.data() + width};
            double* outs[2] = {group.data(), group.data() + outWidth};
            FilterDecimateRowGroup(taps, 2, windows, width, step, offset, outWidth, scratches,
                                   outs);
            for (std::int64_t j = 0; j < outWidth; ++j) {
                ASSERT_TRUE(SameBits(fromSamples[j], expected[j]))
                    << width << " " << step << " " << j;
                ASSERT_TRUE(SameBits(fromValues[j], expected[j]))
                    << width << " " << step << " " << j;
                ASSERT_TRUE(SameBits(fromFloats[j], expected[j]))
                    << width << " " << step << " " << j;
                ASSERT_TRUE(SameBits(group[j], expected[j])) << width << " " << step << " " << j;
                ASSERT_TRUE(SameBits(group[outWidth + j], expectedReversed[j]))
                    << width << " " << step << " " << j;
            }
        }
    }
}

TEST_P(InjectionKernelsTest, WaveletSmoothingEqualsTheClampedSumAtEveryWidthAndStep)
{
    const double spline[5] = {1.0 / 16, 4.0 / 16, 6.0 / 16, 4.0 / 16, 1.0 / 16};
    for (std::int64_t width : kWidths) {
        const auto samples = RandomFloatSamples(static_cast<std::size_t>(5 * width), 5);
        const std::vector<double> values(samples.begin(), samples.end());
        const float* sampleRows[5];
        const double* valueRows[5];
        for (int t = 0; t < 5; ++t) {
            sampleRows[t] = samples.data() + t * width;
            valueRows[t] = values.data() + t * width;
        }
        for (std::int64_t step : {1, 2}) {
            std::vector<double> column(static_cast<std::size_t>(width));
            for (std::int64_t c = 0; c < width; ++c) {
                double sum = 0;
                for (int t = 0; t < 5; ++t) sum += spline[t] * valueRows[t][c];
                column[c] = sum;
            }
            std::vector<double> scratch(static_cast<std::size_t>(width));
            std::vector<double> a(static_cast<std::size_t>(width));
            std::vector<double> b(static_cast<std::size_t>(width));
            SmoothRow(sampleRows, width, step, scratch.data(), a.data());
            SmoothRow(valueRows, width, step, scratch.data(), b.data());
            for (std::int64_t c = 0; c < width; ++c) {
                double expected = 0;
                for (int t = 0; t < 5; ++t) {
                    expected += spline[t] * column[ClampIndex(c + (t - 2) * step, width)];
                }
                ASSERT_TRUE(SameBits(a[c], expected)) << width << " " << step << " " << c;
                ASSERT_TRUE(SameBits(b[c], expected)) << width << " " << step << " " << c;
            }
        }
    }
}

// The MS placed at a fraction of a pixel: the output may be shorter or longer than the source
// and start left or right of it (offsets reaching past either end replicate the end samples).
TEST_P(InjectionKernelsTest, FractionalResamplingEqualsTheClampedSumAtEveryWidthAndOffset)
{
    const double wy[6] = {0.01, -0.07, 0.81, 0.31, -0.05, -0.01};
    const double wx[6] = {-0.02, 0.13, 0.52, 0.44, -0.08, 0.01};
    for (std::int64_t width : kWidths) {
        const auto samples = RandomFloatSamples(static_cast<std::size_t>(6 * width), 6);
        const float* rows[6];
        for (int t = 0; t < 6; ++t) rows[t] = samples.data() + t * width;
        std::vector<double> column(static_cast<std::size_t>(width));
        for (std::int64_t c = 0; c < width; ++c) {
            double sum = 0;
            for (int t = 0; t < 6; ++t) sum += wy[t] * rows[t][c];
            column[c] = sum;
        }
        for (std::int64_t outWidth : {width, width + 3}) {
            for (std::int64_t offset : {-4, -1, 0, 1, 2, 5}) {
                std::vector<double> line(static_cast<std::size_t>(width));
                std::vector<float> out(static_cast<std::size_t>(outWidth));
                ResampleRow(wy, rows, width, wx, offset, outWidth, line.data(), out.data());
                for (std::int64_t j = 0; j < outWidth; ++j) {
                    double sum = 0;
                    for (int s = 0; s < 6; ++s)
                        sum += wx[s] * column[ClampIndex(j + offset + s - 2, width)];
                    ASSERT_EQ(out[j], static_cast<float>(sum))
                        << width << " " << offset << " " << j;
                }
            }
        }
    }
}

// The nearest sample of a type's range, ties to even, 0 for values that are not finite.
double Nearest(double value, double lowest, double highest)
{
    if (!std::isfinite(value)) return 0;
    return std::nearbyint(std::clamp(value, lowest, highest));
}

TEST_P(InjectionKernelsTest, FormulasGiveEveryColumnAlikeWhereverTheVectorPartEnds)
{
    // Halves (ties), values beyond the 16-bit range, zero and negative denominators.
    const double band[] = {2.5, 3.5, -2.5, 40000, -40000, 100, 7, 0, 12.25, -0.5, 1e300, 5};
    const double shared[] = {1, 2, 0, -1, 4, 0.5, 0, 0, 3, 2, 1e-300, 8};
    const float pan[] = {1, 2, 3, -4, 5, 600, 7, 0, 9, 10, 65535, -32768};
    const double low[] = {0.5, 0, -1, 3, 2, 1, 1e-320, 4, 9, 1, 2, 3};
    const double detail[] = {0.5, -1.5, 2, 3, 1, 0.25, -7, 1, 0, 2, 1, -3};
    const std::pair<FusionFormula, int> formulas[] = {
        {GsaFormula, 0}, {GlpHpmFormula, 1}, {AwlpFormula, 2}, {BroveyFormula, 3}};
    for (const auto& [formula, which] : formulas) {
        for (std::int64_t width = 1; width <= 12; ++width) {
            BandRowInputs in;
            in.band = band;
            in.shared = shared;
            in.pan = pan;
            in.low = low;
            in.detail = detail;
            in.scale = 1.5;
            in.offset = -0.5;
            in.gain = 0.75;
            double fused[12] = {};
            formula(in, width, fused);
            for (std::int64_t c = 0; c < width; ++c) {
                const double m = band[c];
                double value = 0;
                if (which == 0) {
                    value = m + in.gain * (in.scale * pan[c] + in.offset - shared[c]);
                } else if (which == 1) {
                    const double lowPan = in.scale * low[c] + in.offset;
                    value = lowPan > 0 ? m * (in.scale * pan[c] + in.offset) / lowPan : m;
                } else if (which == 2) {
                    value = m + (shared[c] > 0 ? m / shared[c] : 1.0) * detail[c];
                } else {
                    value = shared[c] > 0 ? m * pan[c] / shared[c] : m;
                }
                ASSERT_TRUE(SameBits(fused[c], value)) << which << " " << width << " " << c;
            }
        }
    }
}

TEST_P(InjectionKernelsTest, StoredSamplesAreClippedToTheirTypeNeverWrapped)
{
    const double values[] = {-1e9,
                             -32769,
                             -32768.5,
                             -0.5,
                             0.5,
                             1.5,
                             254.5,
                             255.5,
                             256,
                             32767.5,
                             32768,
                             40000.5,
                             65534.5,
                             65535.5,
                             65536,
                             1e9,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()};
    const std::int64_t count = std::size(values);
    for (std::int64_t width = 1; width <= count; ++width) {
        std::uint8_t bytes[std::size(values)];
        std::uint16_t words[std::size(values)];
        std::int16_t shorts[std::size(values)];
        StoreFusedRow(SampleType::UInt8, values, width, bytes);
        StoreFusedRow(SampleType::UInt16, values, width, words);
        StoreFusedRow(SampleType::Int16, values, width, shorts);
        for (std::int64_t c = 0; c < width; ++c) {
            EXPECT_EQ(bytes[c], Nearest(values[c], 0, 255)) << values[c];
            EXPECT_EQ(words[c], Nearest(values[c], 0, 65535)) << values[c];
            EXPECT_EQ(shorts[c], Nearest(values[c], -32768, 32767)) << values[c];
        }
    }
}

}  // namespace
}  // namespace lumesta
