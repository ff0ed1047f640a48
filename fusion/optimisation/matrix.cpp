#include "fusion/optimisation/matrix.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace lumesta {
namespace {

template <typename T>
void TransposeAny(int rows, int cols, const Matrix<T>& in, Matrix<T>& out)
{
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) out[j][i] = in[i][j];
    }
}

// The loop bounds of a product, limited to the storage the operands and the result really
// have. A mismatched call (colsA > rowsB) would otherwise read rows of B that do not exist;
// the missing terms are left out of the sums instead.
struct ProductBounds {
    std::size_t rows = 0;
    std::size_t inner = 0;
    std::size_t cols = 0;
};

template <typename T>
ProductBounds SafeBounds(int rowsA, int colsA, const Matrix<T>& a, int colsB, const Matrix<T>& b,
                         const Matrix<float>& c)
{
    ProductBounds bounds;
    bounds.rows = std::min({static_cast<std::size_t>(std::max(rowsA, 0)), a.size(), c.size()});
    bounds.inner = std::min(static_cast<std::size_t>(std::max(colsA, 0)), b.size());
    bounds.cols = static_cast<std::size_t>(std::max(colsB, 0));
    for (std::size_t i = 0; i < bounds.rows; ++i) {
        bounds.inner = std::min(bounds.inner, a[i].size());
        bounds.cols = std::min(bounds.cols, c[i].size());
    }
    for (std::size_t k = 0; k < bounds.inner; ++k) bounds.cols = std::min(bounds.cols, b[k].size());
    return bounds;
}

// Shows the size message once per product; the caller computes with colsA regardless.
void CheckProductSizes(int colsA, int rowsB, Host& host)
{
    static const std::string kSizeMismatch = " something wrong with size of array";
    if (colsA != rowsB) host.ShowMessage(kSizeMismatch);
}

// Integer operands: each product in integer arithmetic (exact), the sum in double in order of k.
template <typename T>
void MultiplyInt(int rowsA, int colsA, const Matrix<T>& a, int rowsB, int colsB, const Matrix<T>& b,
                 Matrix<float>& c, Host& host)
{
    CheckProductSizes(colsA, rowsB, host);
    const ProductBounds bounds = SafeBounds(rowsA, colsA, a, colsB, b, c);
    for (std::size_t i = 0; i < bounds.rows; ++i) {
        for (std::size_t j = 0; j < bounds.cols; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < bounds.inner; ++k) {
                const int product = static_cast<int>(a[i][k]) * static_cast<int>(b[k][j]);
                sum += static_cast<double>(product);
            }
            c[i][j] = static_cast<float>(sum);
        }
    }
}

// x / p as IEEE arithmetic defines it, without dividing by an exact zero (which C++ leaves
// undefined): a singular matrix then gives infinities and NaNs instead of a trap.
double DivideByPivot(double x, double p)
{
    if (p != 0.0) return x / p;
    if (x == 0.0 || std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    return (std::signbit(x) != std::signbit(p)) ? -infinity : infinity;
}

// Makes S[i][i] usable as a pivot by swapping in the first lower row with a usable value.
// Returns false when there is none.
bool FindPivotRow(int i, int rows, int cols, Matrix<float>& s, Matrix<float>& r)
{
    constexpr double kTolerance = 1e-10;
    for (int j = i + 1; j < rows; ++j) {
        if (std::fabs(static_cast<double>(s[j][i])) >= kTolerance) {
            SwapRows(i, j, cols, s);
            SwapRows(i, j, cols, r);
            return true;
        }
    }
    return false;
}

}  // namespace

void Transpose(int rows, int cols, const Matrix<std::int16_t>& in, Matrix<std::int16_t>& out)
{
    TransposeAny(rows, cols, in, out);
}

void Transpose(int rows, int cols, const Matrix<std::uint8_t>& in, Matrix<std::uint8_t>& out)
{
    TransposeAny(rows, cols, in, out);
}

void MultiplyIntMatrices(int rowsA, int colsA, const Matrix<std::int16_t>& a, int rowsB, int colsB,
                         const Matrix<std::int16_t>& b, Matrix<float>& c, Host& host)
{
    MultiplyInt(rowsA, colsA, a, rowsB, colsB, b, c, host);
}

void MultiplyIntMatrices(int rowsA, int colsA, const Matrix<std::uint8_t>& a, int rowsB, int colsB,
                         const Matrix<std::uint8_t>& b, Matrix<float>& c, Host& host)
{
    MultiplyInt(rowsA, colsA, a, rowsB, colsB, b, c, host);
}

void MultiplyFloatMatrices(int rowsA, int colsA, const Matrix<float>& a, int rowsB, int colsB,
                           const Matrix<float>& b, Matrix<float>& c, Host& host)
{
    CheckProductSizes(colsA, rowsB, host);
    const ProductBounds bounds = SafeBounds(rowsA, colsA, a, colsB, b, c);
    for (std::size_t i = 0; i < bounds.rows; ++i) {
        for (std::size_t j = 0; j < bounds.cols; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < bounds.inner; ++k) {
                sum += static_cast<double>(a[i][k]) * static_cast<double>(b[k][j]);
            }
            c[i][j] = static_cast<float>(sum);
        }
    }
}

void SwapRows(int i, int j, int cols, Matrix<float>& m)
{
    for (int c = 0; c < cols; ++c) std::swap(m[i][c], m[j][c]);
}

void inverse(int rows, int cols, const Matrix<float>& a, Matrix<float>& result,
             Matrix<float>& scratch, Host& host)
{
    constexpr double kTolerance = 1e-10;
    Matrix<float>& s = scratch;
    Matrix<float>& r = result;
    for (int i = 0; i < rows; ++i) {
        for (int c = 0; c < cols; ++c) s[i][c] = a[i][c];
        r[i][i] = 1.0f;
    }
    for (int i = 0; i < rows; ++i) {
        double p = s[i][i];
        if (std::fabs(p) < kTolerance) {
            if (FindPivotRow(i, rows, cols, s, r)) {
                p = s[i][i];
            } else {
                host.WriteErrorStream(kSingularMatrix);
            }
        }
        for (int c = 0; c < cols; ++c) {
            s[i][c] = static_cast<float>(DivideByPivot(s[i][c], p));
            r[i][c] = static_cast<float>(DivideByPivot(r[i][c], p));
        }
        for (int row = 0; row < rows; ++row) {
            if (row == i) continue;
            const double f = s[row][i];
            if (std::fabs(f) < kTolerance) continue;
            for (int c = 0; c < cols; ++c) {
                s[row][c] = static_cast<float>(static_cast<double>(s[row][c]) -
                                               f * static_cast<double>(s[i][c]));
                r[row][c] = static_cast<float>(static_cast<double>(r[row][c]) -
                                               f * static_cast<double>(r[i][c]));
            }
        }
    }
}

NormalEquations::NormalEquations(int unknowns)
    : m_unknowns(std::max(unknowns, 0)),
      m_xtx(static_cast<std::size_t>(m_unknowns) * static_cast<std::size_t>(m_unknowns), 0.0),
      m_xty(static_cast<std::size_t>(m_unknowns), 0.0)
{
}

void NormalEquations::Add(const std::int32_t* regressors, std::int32_t observed)
{
    // XᵀX is symmetric and each integer product is exact, so the upper triangle carries the
    // same sums the full product would; the lower triangle is mirrored when read.
    const std::size_t k = static_cast<std::size_t>(m_unknowns);
    for (std::size_t i = 0; i < k; ++i) {
        const std::int64_t xi = regressors[i];
        double* row = &m_xtx[i * k];
        for (std::size_t j = i; j < k; ++j) row[j] += static_cast<double>(xi * regressors[j]);
        m_xty[i] += static_cast<double>(xi * observed);
    }
}

Matrix<float> NormalEquations::NormalMatrix() const
{
    Matrix<float> out = MakeMatrix<float>(m_unknowns, m_unknowns);
    const std::size_t k = static_cast<std::size_t>(m_unknowns);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = i; j < k; ++j) {
            out[i][j] = static_cast<float>(m_xtx[i * k + j]);
            out[j][i] = out[i][j];
        }
    }
    return out;
}

Matrix<float> NormalEquations::RightHandSide() const
{
    Matrix<float> out = MakeMatrix<float>(m_unknowns, 1);
    for (std::size_t i = 0; i < m_xty.size(); ++i) out[i][0] = static_cast<float>(m_xty[i]);
    return out;
}

}  // namespace lumesta
