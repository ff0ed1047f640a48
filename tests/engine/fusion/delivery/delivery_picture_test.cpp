#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fusion/delivery/delivery_picture.h"

namespace lumesta {
namespace {

// The cutoffs lie on the sample values themselves, whatever the type: unsigned values above the
// signed range and negative signed values included; the skipped value counts in neither.
TEST(SampleHistogramTest, CutoffsAreSampleValuesOfEveryTypeWithoutTheSkippedValue)
{
    std::vector<std::uint16_t> high;
    for (int i = 0; i < 100; ++i) high.push_back(static_cast<std::uint16_t>(40000 + i));
    SampleHistogram unsignedHistogram(SampleType::UInt16);
    unsignedHistogram.Add(high.data(), static_cast<std::int64_t>(high.size()), std::nullopt);
    StretchCutoffs cutoffs = unsignedHistogram.Cutoffs(2, 2);
    EXPECT_EQ(cutoffs.low, 40001);  // 2 of 100 samples reach 40001
    EXPECT_EQ(cutoffs.high, 40097);

    std::vector<std::int16_t> centred;
    for (int i = -50; i < 50; ++i) centred.push_back(static_cast<std::int16_t>(i));
    for (int i = 0; i < 400; ++i) centred.push_back(-9999);  // the fill
    SampleHistogram signedHistogram(SampleType::Int16);
    signedHistogram.Add(centred.data(), static_cast<std::int64_t>(centred.size()), -9999.0);
    cutoffs = signedHistogram.Cutoffs(10, 10);
    EXPECT_EQ(cutoffs.low, -41);
    EXPECT_EQ(cutoffs.high, 39);

    SampleHistogram empty(SampleType::UInt8);
    const std::uint8_t fill[3] = {0, 0, 0};
    empty.Add(fill, 3, 0.0);
    cutoffs = empty.Cutoffs(2, 2);
    EXPECT_EQ(cutoffs.low, 0);
    EXPECT_EQ(cutoffs.high, 0);
}

}  // namespace
}  // namespace lumesta
