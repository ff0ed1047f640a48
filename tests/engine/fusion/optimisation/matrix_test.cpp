#include "fusion/optimisation/matrix.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>

#include "tests/support/fake_host.h"

namespace lumesta {
namespace {

class MatrixTest : public ::testing::Test {
protected:
    Matrix<float> Invert(const Matrix<float>& a)
    {
        const int n = static_cast<int>(a.size());
        Matrix<float> result = MakeMatrix<float>(n, n);
        Matrix<float> scratch = MakeMatrix<float>(n, n);
        // Nothing may reach the process's own stream: diagnostics go through the host.
        std::streambuf* const old = std::cerr.rdbuf(direct.rdbuf());
        inverse(n, n, a, result, scratch, host);
        std::cerr.rdbuf(old);
        return result;
    }

    testing::FakeHost host;
    std::ostringstream direct;
};

TEST_F(MatrixTest, InverseSwapsInAUsablePivotRow)
{
    const Matrix<float> a = {{0, 1, 2}, {0, 3, 4}, {5, 6, 7}};
    Matrix<float> product = MakeMatrix<float>(3, 3);
    MultiplyFloatMatrices(3, 3, a, 3, 3, Invert(a), product, host);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(product[i][j], i == j ? 1.0 : 0.0, 1e-6);
    }
    const Matrix<float> identity = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    EXPECT_EQ(Invert(identity), identity);
    EXPECT_EQ(Invert({{4}}), Matrix<float>({{0.25f}}));
    EXPECT_EQ(host.ErrorStream(), "");
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(MatrixTest, SingularMatrixIsReportedOnTheErrorStreamPerPivot)
{
    const std::string line = "ERROR <MATRIX::inverse()> : Singular Matrix\n";
    Invert({{1, 2}, {2, 4}});
    EXPECT_EQ(host.ErrorStream(), line);
    Invert({{0, 0}, {0, 0}});  // exact zero pivots must not trap
    EXPECT_EQ(host.ErrorStream(), line + line + line);
    EXPECT_EQ(direct.str(), "");
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(MatrixTest, MismatchedSizesShowTheMessageOnceAndStayInsideTheOperands)
{
    const Matrix<std::int16_t> a = {{1, 2, 3}, {4, 5, 6}};
    const Matrix<std::int16_t> b = {{1, 0}, {0, 1}};
    Matrix<float> c = MakeMatrix<float>(2, 2);
    MultiplyIntMatrices(2, 3, a, 2, 2, b, c, host);
    EXPECT_THAT(host.Messages(), ::testing::ElementsAre(" something wrong with size of array"));
    EXPECT_EQ(c, Matrix<float>({{1, 2}, {4, 5}}));
}

TEST_F(MatrixTest, IntegerProductSumsInDoubleAndStoresFloat)
{
    const int n = 1001;  // a float running sum of 2047² terms would round at every step
    Matrix<std::int16_t> a = MakeMatrix<std::int16_t>(1, n);
    for (auto& v : a[0]) v = 2047;
    Matrix<std::int16_t> b = MakeMatrix<std::int16_t>(n, 1);
    Transpose(1, n, a, b);
    Matrix<float> c = MakeMatrix<float>(1, 1);
    MultiplyIntMatrices(1, n, a, n, 1, b, c, host);
    EXPECT_EQ(c[0][0], static_cast<float>(4190209.0 * n));
}

TEST_F(MatrixTest, NormalEquationsEqualTheTransposeProducts)
{
    const int n = 20000, k = 5;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(0, 2047);
    Matrix<std::int16_t> x = MakeMatrix<std::int16_t>(n, k);
    Matrix<std::int16_t> y = MakeMatrix<std::int16_t>(n, 1);
    NormalEquations equations(k);
    for (int i = 0; i < n; ++i) {
        std::int32_t row[k] = {1, value(random), value(random), value(random), value(random)};
        for (int j = 0; j < k; ++j) x[i][j] = static_cast<std::int16_t>(row[j]);
        y[i][0] = static_cast<std::int16_t>(value(random));
        equations.Add(row, y[i][0]);
    }
    Matrix<std::int16_t> xt = MakeMatrix<std::int16_t>(k, n);
    Transpose(n, k, x, xt);
    Matrix<float> xtx = MakeMatrix<float>(k, k);
    Matrix<float> xty = MakeMatrix<float>(k, 1);
    MultiplyIntMatrices(k, n, xt, n, k, x, xtx, host);
    MultiplyIntMatrices(k, n, xt, n, 1, y, xty, host);
    EXPECT_EQ(equations.NormalMatrix(), xtx);
    EXPECT_EQ(equations.RightHandSide(), xty);
}

}  // namespace
}  // namespace lumesta
