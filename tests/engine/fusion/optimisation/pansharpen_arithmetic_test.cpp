#include "fusion/optimisation/pansharpen_arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace lumesta {
namespace {

using Fused = std::array<std::int16_t, 4>;

class FusionMethodsTest : public ::testing::Test {
protected:
    static Coefficients Make(FusionMethod method, std::array<float, 5> c)
    {
        Coefficients result;
        result.method = method;
        result.c = c;
        return result;
    }

    const Coefficients quarter = Make(FusionMethod::Optimisation1, {0.25f, 0.25f, 0.25f, 0.25f});
    const InterpolatedPixel worked{100, 200, 150, 300, 0};  // Blue, Green, Red, NIR, residual
    const ColourAmounts none{0, 0, 0};
    const ColourAmounts tens{10, 10, 10};
};

TEST_F(FusionMethodsTest, RatioScalingKeepsTheBlueOffset)
{
    EXPECT_EQ(FusePixel(quarter, worked, 375, none), (Fused{130, 400, 300, 600}));
    const Coefficients withIntercept =
        Make(FusionMethod::Optimisation2, {12.5f, 0.25f, 0.25f, 0.25f, 0.25f});
    EXPECT_EQ(FusePixel(withIntercept, worked, 400, none), (Fused{130, 400, 300, 600}));
    EXPECT_EQ(FusePixel(quarter, {60, 200, 150, 300, 0}, 355, none)[0], 50);  // ratio 2
    EXPECT_EQ(FusePixel(quarter, {70, 200, 150, 300, 0}, 999, none)[0], 70);
}

TEST_F(FusionMethodsTest, ColourAdjustmentFollowsTheNdvi)
{
    EXPECT_EQ(FusePixel(quarter, worked, 375, tens), (Fused{126, 399, 291, 600}));
    // Synthetic pan ≤ 0: zeros, still adjusted.
    EXPECT_EQ(FusePixel(quarter, {100, 200, 150, 300, -500}, 375, tens), (Fused{-4, -1, -9, 0}));
    std::int32_t blue = 100, green = 100, red = 100;
    AdjustColours(100, 150, {8, 3, 6}, blue, green, red);  // NDVI 0.2: half of each maximum
    EXPECT_EQ((std::array<std::int32_t, 3>{blue, green, red}),
              (std::array<std::int32_t, 3>{98, 97, 97}));
    blue = green = red = 100;
    AdjustColours(0, 0, tens, blue, green, red);  // NIR + Red = 0: NDVI taken as 0
    EXPECT_EQ((std::array<std::int32_t, 3>{blue, green, red}),
              (std::array<std::int32_t, 3>{100, 81, 100}));
}

TEST_F(FusionMethodsTest, ValuesBeyondSixteenBitsKeepTheirLowBits)
{
    const Coefficients ones = Make(FusionMethod::Optimisation1, {1, 1, 1, 1});
    // Synthetic pan 0.5, ratio 4094: Green 409400.
    EXPECT_EQ(FusePixel(ones, {100, 100, 100, 100, -399.5}, 2047, none)[1],
              static_cast<std::int16_t>(409400 & 0xFFFF));
    // Beyond the 32-bit range: the INT32_MIN marker, moved by the adjustment without overflow.
    const Fused fused = FusePixel(ones, {1, 1, 1, 1, -4 + 1e-9}, 2047, tens);
    EXPECT_EQ(fused[1], -19);
    EXPECT_EQ(fused[3], 0);
}

TEST_F(FusionMethodsTest, ResidualIsSinglePrecisionAndClippedToFifty)
{
    EXPECT_EQ(Residual(quarter, 120, 100, 100, 100, 100), 20.0f);
    EXPECT_EQ(Residual(quarter, 1000, 100, 100, 100, 100), 50.0f);
    EXPECT_EQ(Residual(quarter, 0, 100, 100, 100, 100), -50.0f);
    const std::array<float, 5> c{0.1f, 1 / 3.0f, 1 / 7.0f, 1 / 9.0f, 1 / 11.0f};
    const float inFloat =
        700.0f - (c[0] + c[1] * 997.0f + c[2] * 1013.0f + c[3] * 1019.0f + c[4] * 1021.0f);
    const double inDouble = 700.0 - (double{c[0]} + double{c[1]} * 997 + double{c[2]} * 1013 +
                                     double{c[3]} * 1019 + double{c[4]} * 1021);
    ASSERT_NE(inFloat, static_cast<float>(inDouble));  // the case tells the two apart
    EXPECT_EQ(Residual(Make(FusionMethod::Optimisation2, c), 700, 997, 1013, 1019, 1021), inFloat);
}

TEST_F(FusionMethodsTest, CoefficientsMustLieInTheirRange)
{
    const float nan = std::nanf("");
    const FusionMethod one = FusionMethod::Optimisation1, two = FusionMethod::Optimisation2;
    EXPECT_TRUE(CoefficientsPlausible(Make(one, {0.3f, -0.2f, 2e-8f, 1e7f, 0.0f})));
    EXPECT_FALSE(CoefficientsPlausible(Make(one, {0.3f, 0.2f, 0.0f, 0.1f})));
    EXPECT_FALSE(CoefficientsPlausible(Make(one, {0.3f, 0.2f, 5e-9f, 0.1f})));
    EXPECT_FALSE(CoefficientsPlausible(Make(one, {0.3f, 0.2f, 0.1f, -1.1e7f})));
    EXPECT_FALSE(CoefficientsPlausible(Make(one, {0.3f, nan, 0.1f, 0.1f})));
    EXPECT_TRUE(CoefficientsPlausible(Make(two, {5e-13f, 0.3f, 0.2f, 5e-9f, 1e11f})));
    EXPECT_FALSE(CoefficientsPlausible(Make(two, {5e-14f, 0.3f, 0.2f, 0.1f, 0.1f})));
    EXPECT_FALSE(CoefficientsPlausible(Make(two, {1.0f, 0.3f, 0.2f, 0.1f, 2e12f})));
}

}  // namespace
}  // namespace lumesta
